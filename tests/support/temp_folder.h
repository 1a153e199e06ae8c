#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace testing_support {

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder() {
        std::error_code error;
        std::filesystem::path base = std::filesystem::temp_directory_path(error);
        if (error) {
            base = "/tmp";
        }
        std::string pattern = (base / "tessarinth-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    bool Made() const { return !path_.empty(); }

private:
    std::filesystem::path path_;
};

// Root ignores permissions, so a test about read-only folders drops to an ordinary user while
// it runs. Declare it before the test's TempFolder so the folder belongs to that user.
class WithoutRootPowers {
public:
    WithoutRootPowers() {
        if (geteuid() == 0) {
            dropped_ = seteuid(kNobody) == 0;
        }
    }
    ~WithoutRootPowers() {
        if (dropped_) {
            [[maybe_unused]] const int restored = seteuid(0);
        }
    }
    WithoutRootPowers(const WithoutRootPowers&) = delete;
    WithoutRootPowers& operator=(const WithoutRootPowers&) = delete;

    // Whether permissions now apply to this process.
    bool PermissionsApply() const { return geteuid() != 0; }

private:
    static constexpr uid_t kNobody = 65534;
    bool dropped_ = false;
};

// Makes a folder read-only for the rest of the scope.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
        chmod(folder_.c_str(), 0500);
    }
    ~ReadOnlyFolder() { chmod(folder_.c_str(), 0700); }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

private:
    std::filesystem::path folder_;
};

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names in a folder, sorted, for checking that nothing was left behind.
inline std::string ListFolder(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) {
        joined += joined.empty() ? name : " " + name;
    }
    return joined;
}

inline unsigned ModeOf(const std::filesystem::path& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

}  // namespace testing_support
