#include "sync/collection_sync.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <type_traits>

#include "caldav/caldav_collection.h"
#include "calendar/handwritten_memo.h"
#include "sync/item_merge.h"

namespace calendar_sync {
namespace {

using platform::Error;
using platform::Result;

std::string WhenText(int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
               .toString("yyyy-MM-dd HH:mm:ss")
               .toStdString() +
           " UTC";
}

}  // namespace

CollectionSync::CollectionSync(store::Application& store, caldav::CalendarCollection& collection,
                               ConflictArchive& archive, CollectionSyncOptions options)
    : store_(store), collection_(collection), archive_(archive), options_(std::move(options)) {}

std::string CollectionSync::CanonicalOf(const std::string& href) const {
    return caldav::CanonicalHref(collection_.Url(), href);
}

bool CollectionSync::HoldsHere(const calendar::SyncEntry& entry) const {
    // An item not on any server yet goes to the collection that holds its kind; one on the
    // server elsewhere was moved here from another calendar.
    return options_.kinds.contains(entry.kind) && entry.calendarId == options_.calendarId;
}

Result<void> CollectionSync::LoadEntries() {
    if (auto pruned = store_.ForgetUnneededBases(); !pruned) {
        return pruned;
    }
    auto entries = store_.SyncEntries();
    if (!entries) {
        return entries.error();
    }
    entries_.clear();
    byHref_.clear();
    elsewhere_.clear();
    movedFrom_.clear();
    for (calendar::SyncEntry& entry : *entries) {
        if (entry.calendarId != options_.calendarId) {
            elsewhere_.insert(Key{entry.kind, entry.uid});
        }
        if (!HoldsHere(entry)) {
            continue;
        }
        Key key{entry.kind, entry.uid};
        if (!entry.href.empty() && !entry.deleted &&
            !CanonicalOf(entry.href).starts_with(collection_.Path())) {
            movedFrom_[key] = entry;
            entry.href.clear();
            entry.etag.clear();
            entry.revision = std::max<int64_t>(entry.revision, 1);
        }
        if (!entry.href.empty()) {
            byHref_[CanonicalOf(entry.href)] = key;
        }
        entries_[key] = std::move(entry);
    }
    return {};
}

Result<SyncOutcome> CollectionSync::Run() {
    now_ = options_.now ? options_.now()
                        : std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    // The collection's own href first: which stored items are its, and what its hrefs look like.
    if (auto learnt = collection_.LearnOwnHref(); !learnt) {
        return learnt.error();
    }
    if (auto loaded = LoadEntries(); !loaded) {
        return loaded.error();
    }
    std::vector<caldav::RemoteItem> changed;
    std::vector<std::string> removed;
    if (auto listed = ListServerChanges(changed, removed); !listed) {
        return listed.error();
    }
    if (auto received = Receive(changed); !received) {
        return received.error();
    }
    for (const std::string& href : removed) {
        if (auto applied = ApplyServerRemoval(href); !applied) {
            return applied.error();
        }
    }
    if (auto sent = SendLocalChanges(); !sent) {
        return sent.error();
    }
    // Kept only once everything it covers is here, so that a sync that stopped lists the same
    // changes again.
    if (keepToken_) {
        if (!token_.empty()) {
            TakeTokenAfterWrites();
        }
        if (auto kept = store_.SetSyncToken(collection_.Url().toString().toStdString(),
                                            {token_, listWhole_});
            !kept) {
            return kept.error();
        }
    }
    return outcome_;
}

Result<void> CollectionSync::ListServerChanges(std::vector<caldav::RemoteItem>& changed,
                                               std::vector<std::string>& removed) {
    const std::string url = collection_.Url().toString().toStdString();
    auto mark = store_.SyncToken(url);
    if (!mark) {
        return mark.error();
    }
    auto report = collection_.ChangesSince(mark->token);
    if (!report) {
        return report.error();
    }
    // Without a token, the report (or the listing) names everything the collection holds.
    bool complete = mark->token.empty();
    const bool tokenRejected = report->tokenRejected;
    if (tokenRejected) {
        // The server cannot answer for the token: start again from everything, with a new one
        // where it gives one.
        report = collection_.ChangesSince("");
        if (!report) {
            return report.error();
        }
        complete = true;
    }
    std::vector<caldav::RemoteItem> listed;
    if (report->unsupported || report->tokenRejected || (mark->listWhole && !complete)) {
        auto items = collection_.ListItems();
        if (!items) {
            return items.error();
        }
        listed = std::move(items).value();
        complete = true;
    } else {
        listed = std::move(report->changed);
    }
    if (!report->unsupported && !report->tokenRejected) {
        token_ = report->token;
    }
    size_t synced = 0;
    for (const auto& [key, entry] : entries_) {
        synced += entry.href.empty() ? 0 : 1;
    }
    std::set<std::string> present;
    for (caldav::RemoteItem& item : listed) {
        const std::string canonical = CanonicalOf(item.href);
        if (caldav::LeavesItsCollection(collection_.Path(), canonical)) {
            // Never followed: an href that leads out of the collection could make this sync read
            // or write items that are not the collection's.
            outcome_.notes.push_back("not synced: " + item.href + " lies outside the collection " +
                                     collection_.Path());
            continue;
        }
        present.insert(canonical);
        const auto known = byHref_.find(canonical);
        if (known == byHref_.end() || item.etag.empty() ||
            entries_.at(known->second).etag != item.etag) {
            changed.push_back(std::move(item));
        }
    }
    const bool noneLeft =
        complete && synced > 0 &&
        std::none_of(byHref_.begin(), byHref_.end(),
                     [&present](const auto& known) { return present.contains(known.first); });
    if (tokenRejected || noneLeft) {
        // It may be another collection, filled again by other planners from what each held:
        // what it holds of an item tells nothing sure of who changed what since.
        replaced_ = true;
        // Not the collection our items were synced with: nothing is deleted here for what it
        // lacks, and that is offered to it again, as to a new collection.
        if (synced > 0) {
            outcome_.notes.push_back(
                "the collection " + collection_.Url().toDisplayString().toStdString() +
                (noneLeft ? " holds none of the items synced with it before"
                          : " cannot answer for this planner's last sync") +
                "; nothing was deleted here, and what it lacks is put there again");
        }
        return OfferAgainWhatIsMissing(present);
    }
    if (complete) {
        for (const auto& [href, key] : byHref_) {
            if (!present.contains(href)) {
                removed.push_back(href);
            }
        }
    } else {
        for (const std::string& href : report->removed) {
            if (byHref_.contains(CanonicalOf(href))) {
                removed.push_back(CanonicalOf(href));
            }
        }
    }
    // What the removals would delete here: items changed or deleted here are kept either way.
    size_t deleting = 0;
    for (const std::string& href : removed) {
        const calendar::SyncEntry& entry = entries_.at(byHref_.at(href));
        deleting += !entry.deleted && entry.revision == 0 ? 1 : 0;
    }
    const bool mass = deleting > kMassDeleteThreshold ||
                      (deleting >= kMassDeleteMinimum && deleting * 2 > synced);
    if (mass && !options_.allowMassDelete) {
        return Error{"the collection " + collection_.Url().toDisplayString().toStdString() +
                         " no longer holds " + std::to_string(deleting) + " of the " +
                         std::to_string(synced) +
                         " items synced with it before; nothing was deleted here",
                     platform::Remedy::ConfirmDeletes};
    }
    return {};
}

Result<void> CollectionSync::OfferAgainWhatIsMissing(const std::set<std::string>& present) {
    std::vector<std::string> missing;
    for (const auto& [href, key] : byHref_) {
        if (!present.contains(href)) {
            missing.push_back(href);
        }
    }
    for (const std::string& href : missing) {
        const Key key = byHref_.at(href);
        if (auto offered = store_.OfferAgain(key.first, key.second); !offered) {
            return offered;
        }
        byHref_.erase(href);
        calendar::SyncEntry& entry = entries_.at(key);
        if (entry.deleted) {
            entries_.erase(key);  // the server no longer holds what was deleted here
            continue;
        }
        entry.href.clear();
        entry.etag.clear();
        entry.revision = std::max<int64_t>(entry.revision, 1);
    }
    return {};
}

void CollectionSync::TakeTokenAfterWrites() {
    if (written_.empty() && deletedOnServer_.empty()) {
        return;
    }
    // Unless the changes since the listing are exactly this sync's writes, the next sync lists
    // the whole collection besides (CollectionMark).
    listWhole_ = true;
    auto report = collection_.ChangesSince(token_);
    if (!report || report->unsupported || report->tokenRejected) {
        return;
    }
    for (const caldav::RemoteItem& item : report->changed) {
        const auto ours = written_.find(CanonicalOf(item.href));
        if (ours == written_.end() ||
            (!ours->second.empty() && !item.etag.empty() && ours->second != item.etag)) {
            return;  // someone else's change meanwhile
        }
    }
    for (const std::string& href : report->removed) {
        if (!deletedOnServer_.contains(CanonicalOf(href))) {
            return;
        }
    }
    token_ = report->token;
    listWhole_ = false;
}

Result<void> CollectionSync::Receive(const std::vector<caldav::RemoteItem>& changed) {
    for (size_t first = 0; first < changed.size(); first += kFetchBatchSize) {
        std::vector<std::string> hrefs;
        for (size_t i = first; i < std::min(changed.size(), first + kFetchBatchSize); ++i) {
            hrefs.push_back(changed[i].href);
        }
        auto fetched = collection_.Fetch(hrefs);
        if (!fetched) {
            return fetched.error();
        }
        for (const caldav::FetchedItem& item : *fetched) {
            if (item.tooLarge) {
                outcome_.notes.push_back("not read: " + item.href +
                                         ": the server's answer for it alone is too large");
                keepToken_ = false;
                continue;
            }
            auto applied =
                item.missing ? ApplyServerRemoval(CanonicalOf(item.href)) : ApplyServerItem(item);
            if (!applied) {
                return applied.error();
            }
        }
    }
    return {};
}

Result<std::string> CollectionSync::LocalText(const calendar::SyncEntry& entry) const {
    if (entry.kind == calendar::ItemKind::Task) {
        auto task = store_.GetTaskFromOid(entry.oid);
        if (!task) {
            return task.error();
        }
        return ServerTextOf(task->Record(), entry.changedAt);
    }
    auto appointment = store_.GetAppointmentFromOid(entry.oid);
    if (!appointment) {
        return appointment.error();
    }
    calendar::InkSource inkOf;
    if (options_.ink) {
        inkOf = [carrier = options_.ink](std::u16string_view body) { return carrier->InkOf(body); };
    }
    return ServerTextOf(appointment->Record(), entry.changedAt, inkOf);
}

Result<std::optional<store::UidSaveSummary::Item>> CollectionSync::Store(
    const ServerItem& item, const caldav::FetchedItem& fetched, const calendar::SyncEntry* entry,
    store::SyncedAs as) {
    const int64_t compared = entry != nullptr ? entry->revision : 0;
    const int32_t storedOid = entry != nullptr ? entry->oid : 0;
    const store::ServerCopy copy{fetched.href, fetched.etag, fetched.data};
    if (item.kind == calendar::ItemKind::Task) {
        calendar::TaskRecord task = item.task;
        task.calendarId = options_.calendarId;
        return store_.SaveSyncedTask(task, copy, compared, as);
    }
    if (!options_.ink || item.ink.empty()) {
        calendar::AppointmentRecord appointment = item.appointment;
        appointment.calendarId = options_.calendarId;
        return store_.SaveSyncedAppointment(appointment, copy, compared, as);
    }
    std::optional<calendar::AppointmentRecord> stored;
    if (storedOid != 0) {
        if (auto found = store_.GetAppointmentFromOid(storedOid)) {
            stored = found->Record();
        }
    }
    calendar::AppointmentRecord record = item.appointment;
    record.calendarId = options_.calendarId;
    options_.ink->Receive(record, item.ink, stored ? &*stored : nullptr, outcome_.notes);
    auto saved = store_.SaveSyncedAppointment(record, copy, compared, as);
    options_.ink->Finish(saved.ok() && saved->has_value(), store_);
    return saved;
}

std::optional<ServerItem> CollectionSync::BaseOf(const calendar::SyncEntry& entry,
                                                 const ServerItem& copy) const {
    auto bases = store_.SyncBases(entry.kind, entry.uid);
    if (!bases) {
        return std::nullopt;
    }
    const auto read = [&entry](const std::string& text) -> std::optional<ServerItem> {
        if (text.empty()) {
            return std::nullopt;
        }
        auto item = ReadServerItem(text);
        if (!item || item->kind != entry.kind || item->Uid() != entry.uid) {
            return std::nullopt;
        }
        return std::move(item).value();
    };
    std::optional<ServerItem> agreed = read(bases->agreed);
    // A version sent by a sync that was cut off before its answer is what the copy was made
    // from, when the copy holds what it changed.
    if (std::optional<ServerItem> sent = read(bases->sent);
        sent && HoldsChangesOf(copy, *sent, agreed ? &*agreed : nullptr)) {
        return sent;
    }
    return agreed;
}

void CollectionSync::ForgetOldHref(const Key& key, const std::string& canonical) {
    const auto known = entries_.find(key);
    if (known == entries_.end() || known->second.href.empty()) {
        return;
    }
    const std::string old = CanonicalOf(known->second.href);
    if (old != canonical) {
        if (const auto atOld = byHref_.find(old); atOld != byHref_.end() && atOld->second == key) {
            byHref_.erase(atOld);
        }
    }
}

Result<void> CollectionSync::ReloadEntry(const Key& key) {
    auto entries = store_.SyncEntries();
    if (!entries) {
        return entries.error();
    }
    if (const auto old = entries_.find(key); old != entries_.end() && !old->second.href.empty()) {
        byHref_.erase(CanonicalOf(old->second.href));
    }
    entries_.erase(key);
    for (calendar::SyncEntry& entry : *entries) {
        if (entry.kind == key.first && entry.uid == key.second) {
            if (!entry.href.empty()) {
                byHref_[CanonicalOf(entry.href)] = key;
            }
            entries_[key] = std::move(entry);
            break;
        }
    }
    return {};
}

namespace {

// Kept lines in one order: a server may write an item's properties back in another.
std::string SortedLines(const std::string& lines) {
    std::vector<std::string> each;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find("\r\n", start);
        if (end == std::string::npos) {
            end = lines.size();
        }
        each.push_back(lines.substr(start, end - start));
        start = end + 2;
    }
    std::sort(each.begin(), each.end());
    std::string sorted;
    for (const std::string& line : each) {
        sorted += line + "\r\n";
    }
    return sorted;
}

template <typename Record>
Record InOneOrder(Record record) {
    record.extraProperties = SortedLines(record.extraProperties);
    if constexpr (std::is_same_v<Record, calendar::AppointmentRecord>) {
        for (calendar::OccurrenceChange& change : record.recurrence.changes) {
            change.extraProperties = SortedLines(change.extraProperties);
        }
    }
    return record;
}

}  // namespace

bool CollectionSync::IsOwnUpload(const ServerItem& server, const ServerItem& ours) {
    if (ours.kind != server.kind) {
        return false;
    }
    if (server.kind == calendar::ItemKind::Task) {
        return InOneOrder(ours.task) == InOneOrder(server.task);
    }
    // The ink compared by its bytes: where it stood in the text does not matter.
    const auto sameInk = [](const std::optional<calendar::CarriedInk>& a,
                            const std::optional<calendar::CarriedInk>& b) {
        return a.has_value() == b.has_value() && (!a || a->bytes == b->bytes);
    };
    if (!sameInk(ours.ink.item, server.ink.item) ||
        ours.ink.changes.size() != server.ink.changes.size()) {
        return false;
    }
    for (const auto& [occurrence, ink] : ours.ink.changes) {
        const auto other = server.ink.changes.find(occurrence);
        if (other == server.ink.changes.end() || other->second.bytes != ink.bytes) {
            return false;
        }
    }
    return InOneOrder(ours.appointment) == InOneOrder(server.appointment);
}

Result<void> CollectionSync::ChangedAgain(const std::string& uid) {
    outcome_.notes.push_back("not settled: " + uid +
                             " changed here again while it was synced; the next sync settles it");
    keepToken_ = false;
    return {};
}

Result<bool> CollectionSync::DeleteHere(const calendar::SyncEntry& entry) {
    // The ink files its handwritten memos name; a text memo names none, whatever it reads.
    std::vector<std::u16string> inkNames;
    if (options_.ink && entry.kind == calendar::ItemKind::Appointment && entry.oid != 0) {
        if (auto stored = store_.GetAppointmentFromOid(entry.oid)) {
            const calendar::AppointmentRecord& record = stored->Record();
            inkNames.emplace_back(calendar::InkNameOf(record.body, record.handwritten));
            for (const calendar::OccurrenceChange& change : record.recurrence.changes) {
                inkNames.emplace_back(calendar::InkNameOf(change.body, change.handwritten));
            }
        }
    }
    auto deleted = store_.DeleteSynced(entry.kind, entry.uid, entry.revision);
    if (!deleted || !*deleted) {
        return deleted;
    }
    for (const std::u16string& name : inkNames) {
        if (!name.empty()) {
            options_.ink->Dropped(name, store_);
        }
    }
    return true;
}

Result<void> CollectionSync::ApplyServerItem(const caldav::FetchedItem& fetched) {
    auto read = ReadServerItem(fetched.data);
    if (!read) {
        // One unreadable item must not hold up the others; its token is not kept, so that it
        // is looked at again next time.
        outcome_.notes.push_back("not read: " + fetched.href + ": " + read.error().message);
        keepToken_ = false;
        return {};
    }
    const ServerItem& item = *read;
    if (!options_.kinds.contains(item.kind)) {
        return {};  // the other collection's kind, in a collection shared with other clients
    }
    const Key key{item.kind, item.Uid()};
    if (!entries_.contains(key) && elsewhere_.contains(key)) {
        // The same item in two of the account's calendars: the store keeps it once, in the
        // calendar it was first found in.
        outcome_.notes.push_back("kept in another calendar: " + fetched.href);
        return {};
    }
    // An href that now holds another item: the one it held is gone from the server.
    const std::string canonical = CanonicalOf(fetched.href);
    if (const auto atHref = byHref_.find(canonical);
        atHref != byHref_.end() && atHref->second != key) {
        if (auto removed = ApplyServerRemoval(canonical); !removed) {
            return removed;
        }
    }
    // Stores the server's version over the item as the sync compared it; false when the item
    // changed here meanwhile and nothing was stored.
    auto save = [&](const calendar::SyncEntry* compared) -> Result<bool> {
        auto saved = Store(item, fetched, compared, store::SyncedAs::InStep);
        if (!saved) {
            return saved.error();
        }
        if (!*saved) {
            return false;
        }
        const int64_t stamp = ChangeTimeOf(item).value_or(0);
        if (auto remembered = store_.RememberServerStamp(item.kind, item.Uid(), stamp);
            !remembered) {
            return remembered.error();
        }
        calendar::SyncEntry entry{item.kind, item.Uid(), fetched.href,  fetched.etag, 0,
                                  0,         false,      (*saved)->oid, stamp};
        entry.calendarId = options_.calendarId;
        ForgetOldHref(key, canonical);
        entries_[key] = entry;
        byHref_[canonical] = key;
        ++outcome_.received;
        return true;
    };
    // In a collection that was replaced, a copy that differs from this planner's tells nothing
    // of which side changed: in step with the collection it replaced is not in step with it.
    if (const auto found = entries_.find(key);
        found == entries_.end() || (found->second.revision == 0 && !replaced_)) {
        auto saved = save(found == entries_.end() ? nullptr : &found->second);
        if (!saved || *saved) {
            return saved ? Result<void>() : Result<void>(saved.error());
        }
        // Another program changed it while the sync ran: settled as any change on both sides,
        // with the item as it is now.
        if (auto reloaded = ReloadEntry(key); !reloaded) {
            return reloaded;
        }
        if (!entries_.contains(key) || entries_.at(key).revision == 0) {
            return ChangedAgain(key.second);
        }
    }

    calendar::SyncEntry local = entries_.at(key);
    // This planner's version, as the server would hold it.
    std::string hereText;
    std::optional<ServerItem> here;
    if (!local.deleted) {
        auto text = LocalText(local);
        if (!text) {
            return text.error();
        }
        auto ours = ReadServerItem(*text);
        if (!ours) {
            return Error{"cannot read this planner's version of " + item.Uid() + ": " +
                         ours.error().message};
        }
        hereText = std::move(text).value();
        here = std::move(ours).value();
    }
    if (here && IsOwnUpload(item, *here)) {
        // A sync stopped between its upload and the record of it: the server holds this
        // planner's version, so the two are in step.
        if (auto recorded = store_.RecordServerCopy(
                local.kind, local.uid, {fetched.href, fetched.etag, fetched.data}, local.revision);
            !recorded) {
            return recorded;
        }
        local.href = fetched.href;
        local.etag = fetched.etag;
        local.revision = 0;
        ForgetOldHref(key, canonical);
        entries_[key] = local;
        byHref_[canonical] = key;
        return {};
    }
    // Changed on both sides (or deleted here and changed there).
    const std::optional<ServerItem> base = BaseOf(local, item);
    const std::string name = NameOf(item);
    if (local.deleted) {
        if (base && SameMeaning(*base, item)) {
            // The server's copy was only written again (by a program that rewrites what it
            // keeps): the deletion goes over it.
            local.href = fetched.href;
            local.etag = fetched.etag;
            ForgetOldHref(key, canonical);
            entries_[key] = local;
            byHref_[canonical] = key;
            return {};
        }
        // An edit is never lost to a deletion made elsewhere.
        auto saved = save(&local);
        if (!saved || !*saved) {
            return saved ? ChangedAgain(item.Uid()) : Result<void>(saved.error());
        }
        outcome_.conflicts.push_back(name + " (" + item.Uid() +
                                     "): deleted here, changed on the server: the change is kept");
        return {};
    }
    auto serverTime = ServerChangeTime(item, fetched, base, local);
    if (!serverTime) {
        return serverTime.error();
    }
    const Side later =
        LaterSide({SequenceOf(*here), local.changedAt}, {SequenceOf(item), *serverTime});
    const ItemMerge merge = MergeItems(base ? &*base : nullptr, *here, item, later);

    // A property changed two ways is settled for the later side; the other side's whole
    // version is kept in the archive.
    std::string keptIn;
    if (!merge.conflicts.empty()) {
        auto kept = later == Side::Server ? archive_.Keep(item.Uid(), "here", hereText, now_)
                                          : archive_.Keep(item.Uid(), "server", fetched.data, now_);
        if (!kept) {
            return kept.error();
        }
        keptIn = kept->string();
    }
    if (replaced_ && merge.storeHere && (merge.conflicts.empty() || later == Side::Here)) {
        // The collection may have been filled again by planners that each put back what they
        // held: which side changed what cannot be told for sure, so what is replaced here is
        // kept too.
        auto kept = archive_.Keep(item.Uid(), "here", hereText, now_);
        if (!kept) {
            return kept.error();
        }
        outcome_.notes.push_back("kept: this planner's version of " + name + " (" + item.Uid() +
                                 "), replaced by the collection's, is in " + kept->string());
    }
    const auto tellConflict = [&] {
        if (merge.conflicts.empty()) {
            return;
        }
        std::string properties;
        for (const std::string& property : merge.conflicts) {
            properties += (properties.empty() ? "" : ", ") + property;
        }
        outcome_.conflicts.push_back(
            NameOf(merge.merged) + " (" + item.Uid() + "): changed on both sides (" + properties +
            "); " +
            (later == Side::Server ? "the server's version (" + WhenText(serverTime->value_or(0))
                                   : "this planner's version (" + WhenText(local.changedAt)) +
            ") is kept" +
            (merge.sendToServer && merge.storeHere ? " with the other changes of both" : "") +
            ", " + (later == Side::Server ? "this planner's" : "the server's") + " is in " +
            keptIn);
    };
    if (!merge.sendToServer) {
        // Everything changed here is on the server already, or lost a conflict to it.
        auto saved = save(&local);
        if (!saved || !*saved) {
            return saved ? ChangedAgain(item.Uid()) : Result<void>(saved.error());
        }
        tellConflict();
        return {};
    }
    // The merged version is stored here and goes to the server over the copy just seen.
    auto saved = Store(merge.merged, fetched, &local, store::SyncedAs::ToSend);
    if (!saved) {
        return saved.error();
    }
    if (!*saved) {
        return ChangedAgain(item.Uid());
    }
    if (auto remembered =
            store_.RememberServerStamp(item.kind, item.Uid(), ChangeTimeOf(item).value_or(0));
        !remembered) {
        return remembered;
    }
    ForgetOldHref(key, canonical);
    if (auto reloaded = ReloadEntry(key); !reloaded) {
        return reloaded;
    }
    if (merge.storeHere) {
        ++outcome_.received;
    }
    if (merge.conflicts.empty() && merge.storeHere) {
        outcome_.notes.push_back("merged: " + NameOf(merge.merged) + " (" + item.Uid() +
                                 "): changed on both sides, in different properties; both kept");
    }
    tellConflict();
    return {};
}

Result<std::optional<int64_t>> CollectionSync::ServerChangeTime(
    const ServerItem& item, const caldav::FetchedItem& fetched,
    const std::optional<ServerItem>& base, const calendar::SyncEntry& local) {
    // When the server's copy says it changed: unless it still says what it said when the two
    // were last in step (a program that edits without saying so), or says nothing; then the
    // server's own clock of its copy tells.
    const std::optional<int64_t> stamped = ChangeTimeOf(item);
    const std::optional<int64_t> before = base ? ChangeTimeOf(*base) : std::optional<int64_t>();
    const bool stampTells =
        stamped && (base ? *stamped != before.value_or(0) : *stamped != local.serverStamp);
    if (stampTells) {
        return stamped;
    }
    std::optional<int64_t> serverClock = fetched.lastModified;
    if (!serverClock) {
        auto asked = collection_.LastModified(fetched.href);
        if (!asked) {
            return asked.error();
        }
        serverClock = *asked;
    }
    return serverClock ? serverClock : stamped;
}

Result<void> CollectionSync::ApplyServerRemoval(const std::string& href) {
    const auto atHref = byHref_.find(href);
    if (atHref == byHref_.end()) {
        return {};
    }
    const Key key = atHref->second;
    byHref_.erase(atHref);
    calendar::SyncEntry& entry = entries_.at(key);
    if (entry.href.empty() || CanonicalOf(entry.href) != href) {
        // A removal names a resource, not an item: the item went up again under another name
        // (put back by another planner, say), and that copy is the one it is in step with now.
        return {};
    }
    if (entry.deleted) {
        // Deleted on both sides.
        if (auto forgotten = store_.ForgetDeletion(entry.kind, entry.uid, entry.revision);
            !forgotten) {
            return forgotten;
        }
        entries_.erase(key);
        return {};
    }
    if (entry.revision == 0) {
        auto deleted = DeleteHere(entry);
        if (!deleted) {
            return deleted.error();
        }
        if (*deleted) {
            entries_.erase(key);
            ++outcome_.deletedHere;
            return {};
        }
        // Changed here while the sync ran.
        if (auto reloaded = ReloadEntry(key); !reloaded) {
            return reloaded;
        }
        byHref_.erase(href);
        if (!entries_.contains(key)) {
            return {};
        }
        if (const calendar::SyncEntry& now = entries_.at(key); now.deleted) {
            // Deleted here meanwhile as well.
            if (auto forgotten = store_.ForgetDeletion(now.kind, now.uid, now.revision);
                !forgotten) {
                return forgotten;
            }
            entries_.erase(key);
            return {};
        }
    }
    // Changed here after the server deleted it: nothing is lost by putting it back.
    calendar::SyncEntry& kept = entries_.at(key);
    if (auto recorded = store_.RecordServerCopy(kept.kind, kept.uid, {"", ""}, 0); !recorded) {
        return recorded;
    }
    kept.href.clear();
    kept.etag.clear();
    outcome_.notes.push_back("kept: " + kept.uid +
                             " was deleted on the server but changed here since; it is "
                             "put back on the server");
    return {};
}

Result<void> CollectionSync::SendLocalChanges() {
    std::vector<calendar::SyncEntry> pending;
    for (const auto& [key, entry] : entries_) {
        if (entry.revision > 0) {
            pending.push_back(entry);
        }
    }
    for (const calendar::SyncEntry& entry : pending) {
        auto sent = entry.deleted ? SendDeletion(entry) : SendItem(entry);
        if (!sent) {
            return sent;
        }
    }
    return {};
}

Result<void> CollectionSync::SendItem(const calendar::SyncEntry& entry) {
    auto text = LocalText(entry);
    if (!text) {
        // Deleted here while the sync ran: its deletion goes instead.
        const Key key{entry.kind, entry.uid};
        if (auto reloaded = ReloadEntry(key); !reloaded) {
            return reloaded;
        }
        const auto now = entries_.find(key);
        if (now == entries_.end()) {
            return {};
        }
        if (now->second.deleted) {
            return SendDeletion(calendar::SyncEntry(now->second));
        }
        return text.error();
    }
    const std::string href = entry.href.empty() ? collection_.HrefForUid(entry.uid) : entry.href;
    if (auto recorded = store_.RecordSending(entry.kind, entry.uid, href, *text); !recorded) {
        return recorded;
    }
    auto written = collection_.Put(href, *text, entry.etag);
    if (!written) {
        return written.error();
    }
    switch (written->outcome) {
        case caldav::WriteResult::Outcome::Done:
            ++outcome_.sent;
            written_[CanonicalOf(href)] = written->etag;
            if (auto recorded = store_.RecordServerCopy(
                    entry.kind, entry.uid, {href, written->etag, *text}, entry.revision);
                !recorded) {
                return recorded;
            }
            // The copy sent says it changed when it changed here.
            if (auto stamped = store_.RememberServerStamp(entry.kind, entry.uid, entry.changedAt);
                !stamped) {
                return stamped;
            }
            return RemoveMovedCopy(Key{entry.kind, entry.uid});
        case caldav::WriteResult::Outcome::NotFound:
            // Gone from the server since it was listed: the next sync puts it back as new.
            return store_.RecordServerCopy(entry.kind, entry.uid, {"", ""}, 0);
        case caldav::WriteResult::Outcome::PreconditionFailed:
            break;
    }
    return SettleRefusedWrite(href);
}

Result<void> CollectionSync::RemoveMovedCopy(const Key& key) {
    const auto moved = movedFrom_.find(key);
    if (moved == movedFrom_.end()) {
        return {};
    }
    const calendar::SyncEntry old = moved->second;
    movedFrom_.erase(moved);
    auto removed = collection_.Delete(old.href, old.etag);
    if (!removed) {
        return removed.error();
    }
    if (removed->outcome == caldav::WriteResult::Outcome::PreconditionFailed) {
        // Changed there since by another program: that version stays where it is.
        outcome_.notes.push_back("moved, and left in the calendar it came from as changed there: " +
                                 old.href);
    } else {
        ++outcome_.deletedOnServer;
    }
    return {};
}

Result<void> CollectionSync::SendDeletion(const calendar::SyncEntry& entry) {
    if (entry.href.empty()) {
        return store_.ForgetDeletion(entry.kind, entry.uid, entry.revision);
    }
    if (entry.etag.empty()) {
        // Sent by a sync whose answer never came: whether it arrived, and as what, is asked
        // first, so that a deletion never goes over another program's edit unseen.
        auto fetched = collection_.Fetch({entry.href});
        if (!fetched) {
            return fetched.error();
        }
        if (fetched->size() != 1 || fetched->front().missing) {
            return store_.ForgetDeletion(entry.kind, entry.uid, entry.revision);
        }
        return SettleRefusedWrite(entry.href);
    }
    auto deleted = collection_.Delete(entry.href, entry.etag);
    if (!deleted) {
        return deleted.error();
    }
    if (deleted->outcome == caldav::WriteResult::Outcome::PreconditionFailed) {
        return SettleRefusedWrite(entry.href);
    }
    if (deleted->outcome == caldav::WriteResult::Outcome::Done) {
        ++outcome_.deletedOnServer;
        deletedOnServer_.insert(CanonicalOf(entry.href));
    }
    return store_.ForgetDeletion(entry.kind, entry.uid, entry.revision);
}

Result<void> CollectionSync::SettleRefusedWrite(const std::string& href) {
    auto fetched = collection_.Fetch({href});
    if (!fetched) {
        return fetched.error();
    }
    if (fetched->size() != 1 || fetched->front().missing) {
        return Error{"the server refused a write to " + href +
                     " because the item changed there, and then no longer holds it; run the "
                     "sync again"};
    }
    if (auto applied = ApplyServerItem(fetched->front()); !applied) {
        return applied;
    }
    // When this planner's version won, it goes over the version just seen; a second refusal
    // means the item keeps changing there, and is left for the next sync.
    const auto key = byHref_.find(CanonicalOf(href));
    if (key == byHref_.end()) {
        return {};
    }
    const calendar::SyncEntry entry = entries_.at(key->second);
    if (entry.revision == 0) {
        return {};
    }
    std::string text;
    if (!entry.deleted) {
        auto local = LocalText(entry);
        if (!local) {
            return local.error();
        }
        text = std::move(local).value();
        if (auto recorded = store_.RecordSending(entry.kind, entry.uid, href, text); !recorded) {
            return recorded;
        }
    }
    auto retried = entry.deleted ? collection_.Delete(href, entry.etag)
                                 : collection_.Put(href, text, entry.etag);
    if (!retried) {
        return retried.error();
    }
    if (retried->outcome != caldav::WriteResult::Outcome::Done) {
        outcome_.notes.push_back("not sent: " + entry.uid +
                                 " changed on the server again while it was synced; the next "
                                 "sync settles it");
        keepToken_ = false;
        return {};
    }
    if (entry.deleted) {
        ++outcome_.deletedOnServer;
        deletedOnServer_.insert(CanonicalOf(href));
        return store_.ForgetDeletion(entry.kind, entry.uid, entry.revision);
    }
    ++outcome_.sent;
    written_[CanonicalOf(href)] = retried->etag;
    return store_.RecordServerCopy(entry.kind, entry.uid, {href, retried->etag, text},
                                   entry.revision);
}

}  // namespace calendar_sync
