// Random schedules of several planners and a phone sharing one calendar collection: creates,
// edits of single properties, deletions, deletions taken back and syncs, with faults injected (a
// sync cut off at a random request, before or after the server did what it asked, a token the
// server cannot answer for, the collection deleted and made again). After everyone syncs twice,
// every planner must hold exactly the server's items, and no acknowledged change may be lost
// unless a later change of the same property replaced it or it lost a conflict and was kept in
// a conflicts folder. The rules are checked against a model of the changes' history of its own,
// not against the sync's code.
//
//   sync_random_schedules [--server URL --user NAME --password WORD --home PATH]
//                         [--schedules N] [--seed S] [--steps N] [--verbose]
//
// Without --server, the collection is one held in memory. A failing schedule prints its seed:
// --seed S --schedules 1 replays it.
#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "caldav/caldav_collection.h"
#include "caldav/dav_client.h"
#include "platform/time/date_time.h"
#include "store/item_snapshot.h"
#include "store/schedule_store.h"
#include "sync/collection_sync.h"
#include "sync/conflict_archive.h"
#include "sync/item_merge.h"
#include "sync/item_text.h"
#include "tests/sync/memory_collection.h"

namespace calendar_sync {
namespace {

using platform::Result;

// --- the properties a schedule changes, and the model of their history -------------------------

enum class Property { Summary, Location, Description };
constexpr Property kProperties[] = {Property::Summary, Property::Location, Property::Description};

// Each property's letter in the values of its changes ("S17.") and its iCalendar name.
struct PropertyNames {
    char letter;
    const char* ical;
};
PropertyNames NamesOf(Property property) {
    switch (property) {
        case Property::Summary:
            return {'S', "SUMMARY"};
        case Property::Location:
            return {'L', "LOCATION"};
        case Property::Description:
            return {'D', "DESCRIPTION"};
    }
    return {'?', ""};
}
char Letter(Property property) {
    return NamesOf(property).letter;
}
const char* IcalName(Property property) {
    return NamesOf(property).ical;
}

// An item's three properties as one side holds them.
using Values = std::map<Property, std::string>;

Values ValuesOf(const calendar::AppointmentRecord& record) {
    const auto utf8 = [](const std::u16string& text) {
        return QString::fromStdU16String(text).toStdString();
    };
    return {{Property::Summary, utf8(record.subject)},
            {Property::Location, utf8(record.location)},
            {Property::Description, utf8(record.body)}};
}

// One acknowledged change of one property: its value is unique ("S17."), and `parent` is the
// change whose value it replaced where it was made (-1: the item was made with it).
struct Change {
    std::string uid;
    Property property;
    std::string value;
    int parent = -1;
    std::string who;
    // Taken by whoever it was made for (stored here, or written to the server); a phone's
    // change the server refused is not.
    bool acknowledged = true;
    // It was only on the server when the collection was deleted: gone with it, whatever a
    // planner does.
    bool destroyed = false;
    // An item put back with the value it had: no one's change of the value, but one that
    // others did not see.
    bool restore = false;
};

// A deletion, with the changes of each property the deleting side had seen.
struct Deletion {
    std::string uid;
    std::map<Property, int> seen;
    std::string who;
};

class History {
public:
    // A change of the property from `before` (the value it replaced) to a new value.
    std::string Record(const std::string& uid, Property property, const std::string& before,
                       const std::string& who, bool acknowledged = true) {
        const int id = static_cast<int>(changes_.size());
        const std::string value = std::string(1, Letter(property)) + std::to_string(id) + ".";
        const auto parent = byValue_.find(before);
        changes_.push_back({uid, property, value, parent == byValue_.end() ? -1 : parent->second,
                            who, acknowledged});
        byValue_[value] = id;
        return value;
    }
    // The collection is deleted: the changes only it held (it holds them or later ones made over
    // them, and no planner does) go with it.
    void Destroy(const std::set<std::string>& onServer, const std::set<std::string>& inPlanners) {
        for (size_t id = 0; id < changes_.size(); ++id) {
            const auto heldBy = [&](const std::set<std::string>& values) {
                return std::any_of(values.begin(), values.end(), [&](const std::string& value) {
                    const auto holder = byValue_.find(value);
                    return holder != byValue_.end() &&
                           IsAncestor(static_cast<int>(id), holder->second);
                });
            };
            if (heldBy(onServer) && !heldBy(inPlanners)) {
                changes_[id].destroyed = true;
            }
        }
    }
    void Acknowledge(const std::string& value) {
        changes_.at(byValue_.at(value)).acknowledged = true;
    }
    // An item put back as it was when it was deleted: its values are changes made anew, over
    // the ones they repeat, beside whatever others changed meanwhile.
    void RecordRestore(const std::string& uid, const Values& values, const std::string& who) {
        for (const auto& [property, value] : values) {
            const auto repeated = byValue_.find(value);
            if (repeated == byValue_.end()) {
                continue;
            }
            const int id = static_cast<int>(changes_.size());
            changes_.push_back({uid, property, value, repeated->second, who, true, false, true});
            byValue_[value] = id;
        }
    }
    void RecordDeletion(const std::string& uid, const Values& seen, const std::string& who) {
        Deletion deletion{uid, {}, who};
        for (const auto& [property, value] : seen) {
            if (const auto found = byValue_.find(value); found != byValue_.end()) {
                deletion.seen[property] = found->second;
            }
        }
        deletions_.push_back(std::move(deletion));
    }

    // What the final state breaks of the rules: one line each.
    // `remade`: the collection was deleted and made again on the way, and planners filled it
    // again from what each held: then which side changed what cannot be told, and a change
    // kept in a conflicts folder is not lost.
    std::vector<std::string> Check(const std::map<std::string, Values>& final,
                                   const std::string& archived, bool remade) const {
        std::vector<std::string> broken;
        for (size_t id = 0; id < changes_.size(); ++id) {
            const Change& change = changes_[id];
            if (!change.acknowledged || change.destroyed || change.restore) {
                continue;
            }
            const bool kept = KeptInArchive(static_cast<int>(id), archived);
            // A deletion made after the change was seen stands for it: what survives of the
            // item is what others changed.
            const bool seenByDeletion =
                std::any_of(deletions_.begin(), deletions_.end(), [&](const Deletion& deletion) {
                    const auto seen = deletion.seen.find(change.property);
                    return deletion.uid == change.uid && seen != deletion.seen.end() &&
                           IsAncestor(static_cast<int>(id), seen->second);
                });
            if (seenByDeletion) {
                continue;
            }
            const auto item = final.find(change.uid);
            if (item == final.end()) {
                // Or it lost a conflict to a change that a deletion then saw.
                const bool beatenThenDeleted = std::any_of(
                    deletions_.begin(), deletions_.end(), [&](const Deletion& deletion) {
                        const auto seen = deletion.seen.find(change.property);
                        return deletion.uid == change.uid && seen != deletion.seen.end() &&
                               BeatenBy(static_cast<int>(id), seen->second);
                    });
                if (kept && (remade || beatenThenDeleted)) {
                    continue;
                }
                broken.push_back(change.uid + ": " + change.who + "'s " +
                                 IcalName(change.property) + " " + change.value +
                                 " is lost with its item, which no deletion that saw it took");
                continue;
            }
            const std::string& value = item->second.at(change.property);
            const auto holder = byValue_.find(value);
            if (holder == byValue_.end()) {
                broken.push_back(change.uid + " " + IcalName(change.property) + " holds " + value +
                                 ", which no side wrote");
            } else if (!IsAncestor(static_cast<int>(id), holder->second)) {
                // Lost: only to a change made beside it (neither side knew the other's) that won
                // their conflict, with its own version kept in a conflicts folder.
                if (!(kept && (BeatenBy(static_cast<int>(id), holder->second) || remade))) {
                    broken.push_back(change.uid + ": " + change.who + "'s " +
                                     IcalName(change.property) + " " + change.value +
                                     " is lost: it holds " + value +
                                     (kept ? " (kept in a conflicts folder)" : ""));
                }
            }
        }
        return broken;
    }

private:
    // Whether the change `newer` stands on holds a change made beside `id` (neither side knew
    // the other's): one that can have won a conflict with it.
    bool BeatenBy(int id, int newer) const {
        for (int at = newer; at >= 0; at = changes_[at].parent) {
            if (!IsAncestor(at, id)) {
                return true;
            }
        }
        return false;
    }
    // Whether `older` is `newer` or one of the changes it replaced.
    bool IsAncestor(int older, int newer) const {
        for (int at = newer; at >= 0; at = changes_[at].parent) {
            if (at == older) {
                return true;
            }
        }
        return false;
    }
    // Whether the change, or a later one made over it on the same side, lost a conflict and its
    // version is in a conflicts folder.
    bool KeptInArchive(int id, const std::string& archived) const {
        if (archived.find(changes_[id].value) != std::string::npos) {
            return true;
        }
        for (size_t later = 0; later < changes_.size(); ++later) {
            if (changes_[later].parent == id && KeptInArchive(static_cast<int>(later), archived)) {
                return true;
            }
        }
        return false;
    }

    std::vector<Change> changes_;
    std::map<std::string, int> byValue_;
    std::vector<Deletion> deletions_;
};

// --- the server, as the planners and the phone reach it -----------------------------------------

struct ServerAccount {
    std::string url;  // of the server; empty: a collection in memory
    std::string user;
    std::string password;
    std::string home;  // where the schedules' collections are made, "/alice/" say
};

// Makes, remakes and reaches one schedule's collection.
class Server {
public:
    Server(const ServerAccount& account, const std::string& collection)
        : account_(account), collection_(collection) {}
    virtual ~Server() = default;

    bool InMemory() const { return account_.url.empty(); }
    QUrl Url() const { return QUrl(QString::fromStdString(account_.url + collection_)); }

    Result<void> Make() {
        if (InMemory()) {
            memory_ = std::make_unique<testing::MemoryCollection>(collection_);
            return {};
        }
        caldav::DavClient client(Account());
        auto made = client.Send("MKCALENDAR", Url(), {}, {});
        if (!made) {
            return made.error();
        }
        if (made->status != 201) {
            return platform::Error{"MKCALENDAR " + Url().toString().toStdString() + ": " +
                                   caldav::DescribeStatus(*made)};
        }
        return {};
    }
    Result<void> Remake() {
        if (InMemory()) {
            memory_->Remake();
            return {};
        }
        caldav::DavClient client(Account());
        auto deleted = client.Send("DELETE", Url(), {}, {});
        if (!deleted) {
            return deleted.error();
        }
        return Make();
    }

    // A sync's own client and collection, good for one sync.
    struct Session {
        std::unique_ptr<caldav::DavClient> client;
        std::unique_ptr<caldav::CalDavCollection> dav;
        caldav::CalendarCollection* collection = nullptr;
    };
    Session Open() {
        Session session;
        if (InMemory()) {
            session.collection = memory_.get();
            return session;
        }
        session.client = std::make_unique<caldav::DavClient>(Account());
        session.dav = std::make_unique<caldav::CalDavCollection>(*session.client, Url());
        session.collection = session.dav.get();
        return session;
    }

    // Every item as the server holds it: href, ETag and text.
    struct Held {
        std::string href;
        std::string etag;
        std::string text;
    };
    Result<std::vector<Held>> All() {
        Session session = Open();
        if (auto learnt = session.collection->LearnOwnHref(); !learnt) {
            return learnt.error();
        }
        auto listed = session.collection->ListItems();
        if (!listed) {
            return listed.error();
        }
        std::vector<std::string> hrefs;
        for (const caldav::RemoteItem& item : *listed) {
            hrefs.push_back(item.href);
        }
        std::vector<Held> held;
        if (hrefs.empty()) {
            return held;
        }
        auto fetched = session.collection->Fetch(hrefs);
        if (!fetched) {
            return fetched.error();
        }
        for (caldav::FetchedItem& item : *fetched) {
            if (!item.missing) {
                held.push_back({item.href, item.etag, std::move(item.data)});
            }
        }
        return held;
    }

private:
    caldav::DavAccount Account() const {
        return {QString::fromStdString(account_.user), QString::fromStdString(account_.password),
                std::chrono::seconds(20)};
    }

    ServerAccount account_;
    std::string collection_;
    std::unique_ptr<testing::MemoryCollection> memory_;
};

// How a sync is made to meet trouble.
enum class Fault { None, Before, After, TokenRejected };

// The collection as one sync sees it, with one fault on the way: the request with the number
// `at` fails before it reaches the server, or after the server did what it asked (its answer
// lost), or every report with a token is answered as the server cannot answer for it.
class FaultyCollection : public caldav::CalendarCollection {
public:
    FaultyCollection(caldav::CalendarCollection& inner, Fault fault, int at,
                     std::function<void(const std::string& text)> made)
        : inner_(inner), fault_(fault), at_(at), made_(std::move(made)) {}

    Result<std::vector<caldav::RemoteItem>> ListItems() override {
        return Pass([&] { return inner_.ListItems(); });
    }
    Result<caldav::ChangeReport> ChangesSince(const std::string& token) override {
        if (fault_ == Fault::TokenRejected && !token.empty()) {
            caldav::ChangeReport report;
            report.tokenRejected = true;
            return report;
        }
        return Pass([&] { return inner_.ChangesSince(token); });
    }
    Result<std::vector<caldav::FetchedItem>> Fetch(const std::vector<std::string>& hrefs) override {
        return Pass([&] { return inner_.Fetch(hrefs); });
    }
    Result<std::optional<int64_t>> LastModified(const std::string& href) override {
        return Pass([&] { return inner_.LastModified(href); });
    }
    Result<caldav::WriteResult> Put(const std::string& href, const std::string& text,
                                    const std::string& etag) override {
        auto written = Pass([&] { return inner_.Put(href, text, etag); });
        if (written && written->outcome == caldav::WriteResult::Outcome::Done && etag.empty()) {
            made_(text);
        }
        return written;
    }
    Result<caldav::WriteResult> Delete(const std::string& href, const std::string& etag) override {
        return Pass([&] { return inner_.Delete(href, etag); });
    }
    Result<void> LearnOwnHref() override { return inner_.LearnOwnHref(); }
    std::string HrefForUid(const std::string& uid) const override { return inner_.HrefForUid(uid); }
    std::string Path() const override { return inner_.Path(); }
    const QUrl& Url() const override { return inner_.Url(); }

private:
    template <typename Call>
    auto Pass(Call call) -> decltype(call()) {
        ++requests_;
        if (requests_ == at_ && fault_ == Fault::Before) {
            return platform::Error{"the connection broke off before the request"};
        }
        auto result = call();
        if (requests_ == at_ && fault_ == Fault::After) {
            return platform::Error{"the connection broke off before the answer"};
        }
        return result;
    }

    caldav::CalendarCollection& inner_;
    Fault fault_;
    int at_;
    // Told of each item the sync put where none was.
    std::function<void(const std::string& text)> made_;
    int requests_ = 0;
};

// --- the sides ----------------------------------------------------------------------------------

struct Planner {
    std::string name;
    std::filesystem::path folder;
    std::unique_ptr<store::Application> store;
    std::unique_ptr<ConflictArchive> archive;
};

class Schedule {
public:
    Schedule(const ServerAccount& account, uint64_t seed, int steps, bool verbose,
             const std::filesystem::path& folder)
        : server_(account, account.home + "schedule-" + std::to_string(seed) + "/"),
          random_(seed),
          steps_(steps),
          verbose_(verbose),
          folder_(folder) {}

    // Runs the schedule; the rules it broke, one line each (empty: none).
    std::vector<std::string> Run() {
        if (auto made = server_.Make(); !made) {
            return {"cannot make the collection: " + made.error().message};
        }
        for (int i = 0; i < 3; ++i) {
            Planner planner;
            planner.name = std::string(1, static_cast<char>('a' + i));
            planner.folder = folder_ / planner.name;
            std::filesystem::create_directories(planner.folder);
            planner.store = std::make_unique<store::Application>();
            if (auto logOn = planner.store->LogOn(planner.folder / "schedule.sqlite"); !logOn) {
                return {"cannot open a store: " + logOn.error().message};
            }
            planner.archive = std::make_unique<ConflictArchive>(planner.folder / "conflicts");
            planners_.push_back(std::move(planner));
        }
        for (int step = 0; step < steps_ && problems_.empty(); ++step) {
            Step();
        }
        if (!problems_.empty()) {
            return problems_;
        }
        // Everyone syncs twice, without trouble.
        for (int round = 0; round < 2; ++round) {
            for (Planner& planner : planners_) {
                if (auto synced = Sync(planner, Fault::None, 0); !synced) {
                    return {"a sync without trouble failed: " + synced.error().message};
                }
            }
        }
        return Verdict();
    }

private:
    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    void Say(const std::string& what) {
        if (verbose_) {
            std::cout << "  " << what << "\n";
        }
    }

    void Step() {
        const int what = Pick(100);
        if (what < 38) {
            Planner& planner = planners_[Pick(static_cast<int>(planners_.size()))];
            Fault fault = Fault::None;
            if (Chance(0.3)) {
                fault = static_cast<Fault>(1 + Pick(3));
            }
            const int at = 1 + Pick(8);
            auto synced = Sync(planner, fault, at);
            Say(planner.name + " syncs" +
                (fault == Fault::None ? ""
                                      : " (fault " + std::to_string(int(fault)) + " at " +
                                            std::to_string(at) + ")") +
                (synced ? "" : ": " + synced.error().message));
            if (synced) {
                for (const std::string& line : synced->notes) {
                    Say("    note: " + line);
                }
                for (const std::string& line : synced->conflicts) {
                    Say("    conflict: " + line);
                }
            }
            if (!synced && fault == Fault::None) {
                problems_.push_back("a sync without trouble failed: " + synced.error().message);
            }
        } else if (what < 50) {
            Create(planners_[Pick(static_cast<int>(planners_.size()))]);
        } else if (what < 70) {
            Edit(planners_[Pick(static_cast<int>(planners_.size()))]);
        } else if (what < 76) {
            Delete(planners_[Pick(static_cast<int>(planners_.size()))]);
        } else if (what < 80) {
            TakeBackDeletion(planners_[Pick(static_cast<int>(planners_.size()))]);
        } else if (what < 84) {
            PhoneCreate();
        } else if (what < 95) {
            PhoneEdit();
        } else if (what < 98) {
            PhoneDelete();
        } else {
            Say("the collection is deleted and made again");
            std::set<std::string> onServer;
            std::set<std::string> inPlanners;
            if (auto held = server_.All()) {
                for (const Server::Held& item : *held) {
                    if (auto read = ReadServerItem(item.text)) {
                        for (const auto& [property, value] : ValuesOf(read->appointment)) {
                            onServer.insert(value);
                        }
                    }
                }
            }
            for (const Planner& planner : planners_) {
                for (const auto& [uid, record] : Held(planner)) {
                    for (const auto& [property, value] : ValuesOf(record)) {
                        inPlanners.insert(value);
                    }
                }
            }
            history_.Destroy(onServer, inPlanners);
            remade_ = true;
            if (auto remade = server_.Remake(); !remade) {
                problems_.push_back("cannot make the collection again: " + remade.error().message);
            }
        }
    }

    Result<SyncOutcome> Sync(Planner& planner, Fault fault, int at) {
        Server::Session session = server_.Open();
        // An item a planner puts (back) on the server goes there as the planner holds it: after
        // the server lost or deleted it, that is the planner's own version set anew.
        FaultyCollection collection(
            *session.collection, fault, at, [this, &planner](const std::string& text) {
                if (auto read = ReadServerItem(text)) {
                    history_.RecordRestore(read->Uid(), ValuesOf(read->appointment), planner.name);
                }
            });
        CollectionSync sync(
            *planner.store, collection, *planner.archive,
            {{calendar::ItemKind::Appointment, calendar::ItemKind::Task}, true, nullptr, [this] {
                 return ++clock_;
             }});
        return sync.Run();
    }

    std::map<std::string, calendar::AppointmentRecord> Held(const Planner& planner) {
        std::map<std::string, calendar::AppointmentRecord> held;
        if (auto all = planner.store->AllAppointments()) {
            for (calendar::AppointmentRecord& record : *all) {
                held[record.uid] = std::move(record);
            }
        }
        return held;
    }

    void Create(Planner& planner) {
        calendar::AppointmentRecord record;
        record.uid = planner.name + "-" + std::to_string(++made_) + "@planner";
        record.start = *platform::MakeDate(2026, 12, 21, 9 + Pick(8), 0);
        record.end = record.start + 1.0 / 24;
        record.subject =
            QString::fromStdString(history_.Record(record.uid, Property::Summary, "", planner.name))
                .toStdU16String();
        record.location = QString::fromStdString(
                              history_.Record(record.uid, Property::Location, "", planner.name))
                              .toStdU16String();
        record.body = QString::fromStdString(
                          history_.Record(record.uid, Property::Description, "", planner.name))
                          .toStdU16String();
        if (!planner.store->SaveByUid({{record}}, {}).ok()) {
            problems_.push_back("a new item could not be stored");
        }
        Say(planner.name + " makes " + record.uid);
    }

    void Edit(Planner& planner) {
        const auto held = Held(planner);
        if (held.empty()) {
            return;
        }
        auto item = held.begin();
        std::advance(item, Pick(static_cast<int>(held.size())));
        auto appointment = planner.store->GetAppointmentFromOid(item->second.oid);
        if (!appointment) {
            return;
        }
        const Property property = kProperties[Pick(3)];
        const std::string before = ValuesOf(item->second).at(property);
        const std::u16string value =
            QString::fromStdString(history_.Record(item->first, property, before, planner.name))
                .toStdU16String();
        switch (property) {
            case Property::Summary:
                appointment->SetSubject(value);
                break;
            case Property::Location:
                appointment->SetLocation(value);
                break;
            case Property::Description:
                appointment->SetBody(value);
                break;
        }
        if (!appointment->Save().ok()) {
            problems_.push_back("an edit could not be stored");
        }
        Say(planner.name + " changes " + IcalName(property) + " of " + item->first + " from " +
            before + " to " + QString::fromStdU16String(value).toStdString());
    }

    void Delete(Planner& planner) {
        const auto held = Held(planner);
        if (held.empty()) {
            return;
        }
        auto item = held.begin();
        std::advance(item, Pick(static_cast<int>(held.size())));
        // As the planner deletes: the item as it was is kept as a step that can be taken back.
        auto before = planner.store->CurrentState(calendar::ItemKind::Appointment, item->first);
        auto appointment = planner.store->GetAppointmentFromOid(item->second.oid);
        if (!before || !appointment || !appointment->Delete().ok()) {
            problems_.push_back("a deletion could not be stored");
            return;
        }
        store::UndoStep step;
        step.kind = calendar::ItemKind::Appointment;
        step.uid = item->first;
        step.subject = item->second.subject;
        step.leftAs = store::kNoItem;
        step.returnTo = std::move(*before);
        if (!planner.store->RecordStep(step, planner.folder.string()).ok()) {
            problems_.push_back("a deletion's step could not be kept");
        }
        history_.RecordDeletion(item->first, ValuesOf(item->second), planner.name);
        Say(planner.name + " deletes " + item->first);
    }

    // The planner's last change taken back, with its undo steps: a deletion's item comes back
    // with its UID and what it held, as a change made here.
    void TakeBackDeletion(Planner& planner) {
        const std::string home = planner.folder.string();
        auto next = planner.store->NextStep(home, store::StepDirection::Back);
        if (!next || !*next) {
            return;
        }
        store::ItemState replaced;
        auto applied =
            planner.store->ApplyStep(**next, store::StepDirection::Back, home, {}, replaced);
        if (!applied) {
            problems_.push_back("a deletion could not be taken back: " + applied.error().message);
            return;
        }
        if (*applied != store::StepOutcome::Applied) {
            return;
        }
        if (const auto held = Held(planner); held.contains((*next)->uid)) {
            history_.RecordRestore((*next)->uid, ValuesOf(held.at((*next)->uid)), planner.name);
        }
        Say(planner.name + " takes back the deletion of " + (*next)->uid);
    }

    // --- the phone: another client, writing to the collection as it is -----------------------

    void PhoneCreate() {
        const std::string uid = "phone-" + std::to_string(++made_) + "@example.com";
        std::string text =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
            "\r\nDTSTAMP:20261201T000000Z\r\nDTSTART:20261222T100000\r\nDTEND:20261222T110000\r\n";
        for (const Property property : kProperties) {
            text += std::string(IcalName(property)) + ":" +
                    history_.Record(uid, property, "", "the phone") + "\r\n";
        }
        text += "END:VEVENT\r\nEND:VCALENDAR\r\n";
        Server::Session session = server_.Open();
        const std::string href =
            session.collection->Path() + "phone-" + std::to_string(made_) + ".ics";
        if (!session.collection->LearnOwnHref() || !session.collection->Put(href, text, "")) {
            problems_.push_back("the phone could not write");
        }
        Say("the phone makes " + uid);
    }

    // One appointment of the server's, picked at random, as the phone reads it.
    struct Picked {
        Server::Held held;
        ServerItem item;
    };
    std::optional<Picked> PickOnServer() {
        auto held = server_.All();
        if (!held || held->empty()) {
            return std::nullopt;
        }
        Server::Held& picked = (*held)[Pick(static_cast<int>(held->size()))];
        auto read = ReadServerItem(picked.text);
        if (!read || read->kind != calendar::ItemKind::Appointment) {
            return std::nullopt;
        }
        return Picked{std::move(picked), std::move(read).value()};
    }

    void PhoneEdit() {
        auto picked = PickOnServer();
        if (!picked) {
            return;
        }
        const Server::Held& item = picked->held;
        const ServerItem* read = &picked->item;
        const Property property = kProperties[Pick(3)];
        const std::string before = ValuesOf(read->appointment).at(property);
        const std::string value =
            history_.Record(read->Uid(), property, before, "the phone", false);
        // As a phone's library edits: the property's line replaced (or added), SEQUENCE raised,
        // LAST-MODIFIED left as it was or, now and then, set.
        std::vector<std::string> lines;
        std::istringstream in(item.text);
        std::string line;
        bool inEvent = false;
        bool replaced = false;
        int64_t sequence = SequenceOf(*read);
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const std::string name = line.substr(0, line.find_first_of(":;"));
            if (line == "BEGIN:VEVENT") {
                inEvent = true;
            } else if (inEvent && line == "END:VEVENT") {
                if (!replaced) {
                    lines.push_back(std::string(IcalName(property)) + ":" + value);
                }
                lines.push_back("SEQUENCE:" + std::to_string(sequence + 1));
                if (Chance(0.3)) {
                    lines.push_back("LAST-MODIFIED:" + QDateTime::currentDateTimeUtc()
                                                           .toString("yyyyMMdd'T'HHmmss'Z'")
                                                           .toStdString());
                }
                inEvent = false;
            } else if (inEvent && name == IcalName(property)) {
                line = std::string(IcalName(property)) + ":" + value;
                replaced = true;
            } else if (inEvent && (name == "SEQUENCE" || name == "LAST-MODIFIED")) {
                continue;
            } else if (!line.empty() && line.front() == ' ' && !lines.empty() &&
                       lines.back().starts_with(IcalName(property))) {
                continue;  // the rest of a folded line replaced
            }
            lines.push_back(line);
        }
        std::string text;
        for (const std::string& each : lines) {
            text += each + "\r\n";
        }
        Server::Session session = server_.Open();
        if (!session.collection->LearnOwnHref()) {
            return;
        }
        auto written = session.collection->Put(item.href, text, item.etag);
        if (!written || written->outcome != caldav::WriteResult::Outcome::Done) {
            return;  // changed meanwhile: as a phone would, it gives up this edit
        }
        history_.Acknowledge(value);
        Say("the phone changes " + std::string(IcalName(property)) + " of " + read->Uid() +
            " from " + before + " to " + value);
    }

    void PhoneDelete() {
        auto picked = PickOnServer();
        if (!picked) {
            return;
        }
        const Server::Held& item = picked->held;
        const ServerItem* read = &picked->item;
        Server::Session session = server_.Open();
        if (!session.collection->LearnOwnHref()) {
            return;
        }
        auto deleted = session.collection->Delete(item.href, item.etag);
        if (deleted && deleted->outcome == caldav::WriteResult::Outcome::Done) {
            const Values seen = ValuesOf(read->appointment);
            history_.RecordDeletion(read->Uid(), seen, "the phone");
            Say("the phone deletes " + read->Uid() + " (" + seen.at(Property::Summary) + " " +
                seen.at(Property::Location) + " " + seen.at(Property::Description) + ")");
        }
    }

    // --- the verdict ----------------------------------------------------------------------------

    std::vector<std::string> Verdict() {
        std::vector<std::string> broken;
        auto held = server_.All();
        if (!held) {
            return {"cannot read the server: " + held.error().message};
        }
        std::map<std::string, Values> onServer;
        for (const Server::Held& item : *held) {
            auto read = ReadServerItem(item.text);
            if (!read) {
                broken.push_back("the server holds what cannot be read: " + read.error().message);
                continue;
            }
            if (onServer.contains(read->Uid())) {
                broken.push_back("the server holds " + read->Uid() + " twice");
            }
            onServer[read->Uid()] = ValuesOf(read->appointment);
        }
        for (Planner& planner : planners_) {
            std::map<std::string, Values> here;
            for (const auto& [uid, record] : Held(planner)) {
                here[uid] = ValuesOf(record);
            }
            for (const auto& [uid, values] : onServer) {
                if (!here.contains(uid)) {
                    broken.push_back(planner.name + " lacks " + uid + ", which the server holds");
                } else if (here.at(uid) != values) {
                    broken.push_back(planner.name + " holds " + uid + " otherwise than the server");
                }
            }
            for (const auto& [uid, values] : here) {
                if (!onServer.contains(uid)) {
                    broken.push_back(planner.name + " holds " + uid + ", which the server lacks");
                }
            }
        }
        std::string archived;
        for (const Planner& planner : planners_) {
            const std::filesystem::path folder = planner.folder / "conflicts";
            if (!std::filesystem::exists(folder)) {
                continue;
            }
            for (const auto& file : std::filesystem::directory_iterator(folder)) {
                std::ifstream in(file.path(), std::ios::binary);
                archived += std::string(std::istreambuf_iterator<char>(in), {});
            }
        }
        for (std::string& line : history_.Check(onServer, archived, remade_)) {
            broken.push_back(std::move(line));
        }
        return broken;
    }

    Server server_;
    std::mt19937_64 random_;
    int steps_;
    bool verbose_;
    std::filesystem::path folder_;
    std::vector<Planner> planners_;
    History history_;
    std::vector<std::string> problems_;
    int made_ = 0;
    bool remade_ = false;
    int64_t clock_ = 1'796'000'000;
};

}  // namespace
}  // namespace calendar_sync

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    calendar_sync::ServerAccount account{"", "alice", "secret", ""};
    int schedules = 50;
    int steps = 40;
    uint64_t seed = 1;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << argument << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (argument == "--server") {
            account.url = next();
            while (!account.url.empty() && account.url.back() == '/') {
                account.url.pop_back();
            }
        } else if (argument == "--user") {
            account.user = next();
        } else if (argument == "--password") {
            account.password = next();
        } else if (argument == "--home") {
            account.home = next();
        } else if (argument == "--schedules") {
            schedules = std::stoi(next());
        } else if (argument == "--steps") {
            steps = std::stoi(next());
        } else if (argument == "--seed") {
            seed = std::stoull(next());
        } else if (argument == "--verbose") {
            verbose = true;
        } else {
            std::cerr << "unknown argument " << argument << "\n";
            return 2;
        }
    }
    if (account.home.empty()) {
        account.home = "/" + account.user + "/";
    }
    // Every zone and date of the schedules' items is their own: the planners keep Berlin time.
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    char pattern[] = "/tmp/tessarinth-schedules-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::cerr << "cannot make a scratch folder\n";
        return 1;
    }
    const std::filesystem::path scratch = pattern;
    int failed = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < schedules; ++i) {
        const uint64_t each = seed + static_cast<uint64_t>(i);
        if (verbose) {
            std::cout << "schedule " << each << "\n";
        }
        const std::filesystem::path folder = scratch / std::to_string(each);
        calendar_sync::Schedule schedule(account, each, steps, verbose, folder);
        const std::vector<std::string> broken = schedule.Run();
        if (!broken.empty()) {
            ++failed;
            std::cout << "FAIL: schedule " << each << " (replay: --seed " << each
                      << " --schedules 1 --verbose)\n";
            for (const std::string& line : broken) {
                std::cout << "    " << line << "\n";
            }
        } else {
            std::filesystem::remove_all(folder);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << schedules - failed << " of " << schedules << " schedules held (seeds " << seed
              << ".." << seed + static_cast<uint64_t>(schedules) - 1 << ", " << steps
              << " steps each, " << seconds << " s)\n";
    if (failed == 0) {
        std::filesystem::remove_all(scratch);
    } else {
        std::cout << "the failing schedules' data homes are in " << scratch << "\n";
    }
    return failed == 0 ? 0 : 1;
}
