// tessarinth: the planner's screen. Until the device screen and its panels land, the window shows
// which store and settings the planner runs on, so that a new installation can be checked.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QString>

#include "platform/files/data_home.h"
#include "platform/pim/schedule_store.h"
#include "platform/registry/registry.h"
#include "settings/settings_store.h"

namespace {

constexpr int kZoom = 2;
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 320;

int CountItems(const pim::Application& store, pim::FolderKind kind) {
    auto folder = store.GetDefaultFolder(kind);
    if (!folder) {
        return 0;
    }
    auto items = folder->GetItems();
    if (!items) {
        return 0;
    }
    auto count = items->Count();
    return count ? *count : 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessarinth");

    auto home = platform::DataHome::FromEnvironment();
    if (!home || !home->EnsureFolders()) {
        QMessageBox::critical(
            nullptr, "Tessarinth",
            QString::fromStdString(home ? "cannot create the data folders" : home.error().message));
        return 1;
    }
    auto registry = platform::registry::Registry::Open(home->RegistryPath());
    if (registry.DamageNotice()) {
        QMessageBox::warning(nullptr, "Tessarinth",
                             QString::fromStdString(*registry.DamageNotice()));
    }
    settings::Settings settings;
    settings::LoadSettings(registry, settings);

    pim::Application store;
    QString storeLine;
    if (auto logOn = store.LogOn(home->StorePath()); !logOn) {
        QMessageBox::warning(nullptr, "Tessarinth", QString::fromStdString(logOn.error().message));
        storeLine = "store: not available";
    } else {
        storeLine = QString("store: %1 appointments, %2 tasks")
                        .arg(CountItems(store, pim::FolderKind::Calendar))
                        .arg(CountItems(store, pim::FolderKind::Tasks));
    }

    QLabel screen;
    screen.setWindowTitle("Tessarinth");
    screen.setFixedSize(kScreenWidth * kZoom, kScreenHeight * kZoom);
    screen.setAlignment(Qt::AlignCenter);
    screen.setWordWrap(true);
    screen.setText(QString("Tessarinth\n\n%1\n%2\nholiday category: %3\n\nThe planner's screen is "
                           "not built yet.")
                       .arg(QString::fromStdString(home->StorePath().string()), storeLine,
                            QString::fromStdU16String(settings.HoliDay)));
    screen.show();
    return QApplication::exec();
}
