// A calendar collection held in memory, for the sync's tests: it keeps items by href with ETags,
// gives sync tokens, and can be told to misbehave as real servers do (forget or fail on its
// tokens, be deleted and made again, fail at a given request). Other clients' writes go
// straight to it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "caldav/calendar_collection.h"

namespace calendar_sync::testing {

using platform::Result;

class MemoryCollection : public caldav::CalendarCollection {
public:
    explicit MemoryCollection(std::string path = "/alice/calendar/")
        : path_(std::move(path)), url_(QString::fromStdString("http://memory.test" + path_)) {}

    // --- as the server's other clients see it ------------------------------------------------
    // Puts the text at the href (the collection's path and `name`); returns the new ETag.
    std::string PutAsOther(const std::string& name, const std::string& text) {
        return Write(path_ + name, text);
    }
    void RemoveAsOther(const std::string& name) { Remove(path_ + name); }
    std::optional<std::string> TextOf(const std::string& name) const {
        const auto found = items_.find(path_ + name);
        return found == items_.end() ? std::nullopt : std::optional(found->second.text);
    }
    // The names of the items held, in order.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& [href, item] : items_) {
            names.push_back(href.substr(path_.size()));
        }
        return names;
    }
    // Deleted and made again: empty, and no token given before means anything to it.
    void Remake() {
        items_.clear();
        changes_.clear();
        ++generation_;
    }

    // --- how it misbehaves -------------------------------------------------------------------
    // A report with a token is answered as a server that cannot answer for it.
    bool failTokens = false;
    // Keeps no tokens at all: every sync lists the collection.
    bool noTokens = false;
    // Reports changes as a difference of two states: an item made and removed since the token
    // is not named, as neither state holds it.
    bool comparesStates = false;
    // The write with this request number is done, but its answer is lost on the way back.
    int loseAnswerAtRequest = 0;
    // Called after each write a sync makes: another client's writes meanwhile.
    std::function<void()> afterWrite;
    // The request with this number (counted from 1 by `requests`) fails as a dropped
    // connection would; 0: none does.
    int failAtRequest = 0;
    int requests = 0;

    // --- the collection a sync sees ----------------------------------------------------------
    Result<std::vector<caldav::RemoteItem>> ListItems() override {
        if (auto failed = Request(); !failed) {
            return failed.error();
        }
        std::vector<caldav::RemoteItem> items;
        for (const auto& [href, item] : items_) {
            items.push_back({href, item.etag});
        }
        return items;
    }

    Result<caldav::ChangeReport> ChangesSince(const std::string& token) override {
        if (auto failed = Request(); !failed) {
            return failed.error();
        }
        caldav::ChangeReport report;
        if (noTokens) {
            report.unsupported = true;
            return report;
        }
        int64_t since = 0;
        if (!token.empty()) {
            const std::string prefix = "g" + std::to_string(generation_) + "-";
            if (failTokens || !token.starts_with(prefix)) {
                report.tokenRejected = true;
                return report;
            }
            since = std::stoll(token.substr(prefix.size()));
        }
        for (const auto& [href, version] : changes_) {
            if (version <= since) {
                continue;
            }
            if (const auto item = items_.find(href); item != items_.end()) {
                report.changed.push_back({href, item->second.etag});
            } else if (!token.empty() && !(comparesStates && made_.at(href) > since)) {
                report.removed.push_back(href);
            }
        }
        report.token = Token();
        return report;
    }

    Result<std::vector<caldav::FetchedItem>> Fetch(const std::vector<std::string>& hrefs) override {
        if (auto failed = Request(); !failed) {
            return failed.error();
        }
        std::vector<caldav::FetchedItem> fetched;
        for (const std::string& href : hrefs) {
            caldav::FetchedItem item;
            item.href = href;
            const auto found = items_.find(href);
            if (found == items_.end()) {
                item.missing = true;
            } else {
                item.etag = found->second.etag;
                item.data = found->second.text;
            }
            fetched.push_back(std::move(item));
        }
        return fetched;
    }

    Result<std::optional<int64_t>> LastModified(const std::string&) override {
        if (auto failed = Request(); !failed) {
            return failed.error();
        }
        return std::optional<int64_t>();
    }

    Result<caldav::WriteResult> Put(const std::string& href, const std::string& icsText,
                                    const std::string& etag) override {
        if (auto failed = Request(); !failed) {
            return failed.error();
        }
        const auto found = items_.find(href);
        caldav::WriteResult result;
        if (etag.empty() ? found != items_.end()
                         : found == items_.end() || found->second.etag != etag) {
            result.outcome = caldav::WriteResult::Outcome::PreconditionFailed;
            return result;
        }
        result.etag = Write(href, icsText);
        if (afterWrite) {
            afterWrite();
        }
        if (requests == loseAnswerAtRequest) {
            return Error{"the connection broke off before the answer"};
        }
        return result;
    }

    Result<caldav::WriteResult> Delete(const std::string& href, const std::string& etag) override {
        if (auto failed = Request(); !failed) {
            return failed.error();
        }
        const auto found = items_.find(href);
        caldav::WriteResult result;
        if (found == items_.end()) {
            result.outcome = caldav::WriteResult::Outcome::NotFound;
        } else if (!etag.empty() && found->second.etag != etag) {
            result.outcome = caldav::WriteResult::Outcome::PreconditionFailed;
        } else {
            Remove(href);
        }
        return result;
    }

    Result<void> LearnOwnHref() override {
        if (auto failed = Request(); !failed) {
            return failed.error();
        }
        return {};
    }
    std::string HrefForUid(const std::string& uid) const override {
        std::string name;
        for (const char c : uid) {
            name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
        }
        return path_ + name + ".ics";
    }
    std::string Path() const override { return path_; }
    const QUrl& Url() const override { return url_; }

private:
    using Error = platform::Error;
    struct Item {
        std::string etag;
        std::string text;
    };

    Result<void> Request() {
        ++requests;
        if (requests == failAtRequest) {
            return Error{"the connection to the server broke off"};
        }
        return {};
    }
    std::string Token() const {
        return "g" + std::to_string(generation_) + "-" + std::to_string(version_);
    }
    std::string Write(const std::string& href, const std::string& text) {
        ++version_;
        const std::string etag = "\"" + std::to_string(version_) + "\"";
        if (!items_.contains(href)) {
            made_[href] = version_;
        }
        items_[href] = {etag, text};
        changes_[href] = version_;
        return etag;
    }
    void Remove(const std::string& href) {
        ++version_;
        items_.erase(href);
        changes_[href] = version_;
    }

    std::string path_;
    QUrl url_;
    std::map<std::string, Item> items_;
    std::map<std::string, int64_t> changes_;  // href: the version that last touched it
    std::map<std::string, int64_t> made_;     // href: the version that last made it
    int64_t version_ = 0;
    int generation_ = 1;
};

}  // namespace calendar_sync::testing
