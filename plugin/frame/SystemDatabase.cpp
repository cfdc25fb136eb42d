#include "SystemDatabase.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FieldBytes.h"
#include "platform/ui/MessageBox.h"

using namespace fieldbytes;

namespace {

std::function<void(TReplaceStep)>& StepHook()
{
    static std::function<void(TReplaceStep)> hook;
    return hook;
}

void Step(TReplaceStep step)
{
    if (StepHook())
        StepHook()(step);
}

// Closes the descriptor when it goes out of scope.
struct TFd {
    int fd = -1;
    explicit TFd(int f) : fd(f) {}
    ~TFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
};

bool ReadAt(int fd, uint64_t offset, uint8_t* buf, size_t n)
{
    while (n > 0) {
        ssize_t got = ::pread(fd, buf, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buf += got;
        offset += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* buf, size_t n)
{
    while (n > 0) {
        ssize_t put = ::write(fd, buf, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        buf += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

// One piece of the new file, followed by the test hook.
bool WritePart(int fd, const uint8_t* buf, size_t n)
{
    if (!WriteAll(fd, buf, n))
        return false;
    Step(TReplaceStep::rsPartWritten);
    return true;
}

bool CopyRange(int in, uint64_t from, uint64_t to, int out)
{
    std::vector<uint8_t> buf(64 * 1024);
    while (from < to) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), to - from));
        if (!ReadAt(in, from, buf.data(), n) || !WritePart(out, buf.data(), n))
            return false;
        from += n;
    }
    return true;
}

bool FileSize(int fd, uint64_t& size)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0)
        return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool TextsTerminated(const std::vector<uint8_t>& bytes, size_t base, size_t limit, const TDatabaseText& t)
{
    for (uint32_t i = 0; i < t.Count; ++i) {
        size_t at = base + t.Offset + static_cast<size_t>(i) * t.Size;
        if (at + t.Size > limit)
            return true;  // not part of this (old, shorter) record
        if (!HasTerminator(bytes.data() + at, t.Size))
            return false;
    }
    return true;
}

}  // namespace

// Where one entry lies in the file and how long each of its lists is.
struct TSystemDatabase::Span {
    uint64_t Offset = 0;
    uint64_t Size = 0;
    uint16_t Identity = 0;
    std::array<uint64_t, 5> ListBytes{};
};

void TSystemDatabase::SetStepHook(std::function<void(TReplaceStep)> hook) { StepHook() = std::move(hook); }

TSystemDatabase::TSystemDatabase(TDatabaseLayout layout, std::filesystem::path file)
    : layout_(std::move(layout)), file_(std::move(file)), localNow_(LocalSystemTime)
{
}

void TSystemDatabase::Box(const std::string& text, const std::string& caption, unsigned flags, QWidget* owner)
{
    lastMessage_ = text;
    platform::MessageBox::Show(text, caption, flags, owner);
}

TDatabaseStatus TSystemDatabase::Damaged()
{
    inUse_ = false;
    Box("The database file " + file_.string() +
            " is damaged! It is left unchanged, and the systems heard in this session are not saved.",
        "Fatal Error!", platform::MB_OK | platform::MB_ICONERROR, owner_);
    return TDatabaseStatus::dsDamaged;
}

// Walks the entries from start to the end of the file and checks each against the layout: every count
// non-negative, every list inside the file, every string terminated, and the last entry ending exactly
// at the end of the file. visit sees each entry with its record and may stop the walk by returning false.
TSystemDatabase::WalkResult TSystemDatabase::Walk(
    int fd, uint64_t start, uint64_t size, bool old,
    const std::function<bool(const Span&, const std::vector<uint8_t>&)>& visit) const
{
    const uint32_t recordSize = old ? layout_.OldRecordSize : layout_.RecordSize;
    std::vector<uint8_t> record(recordSize);
    std::vector<uint8_t> list;
    uint64_t pos = start;
    while (pos < size) {
        if (size - pos < recordSize)
            return WalkResult::wrDamaged;
        if (!ReadAt(fd, pos, record.data(), recordSize))
            return WalkResult::wrIoError;
        for (const TDatabaseText& t : layout_.RecordTexts)
            if (!TextsTerminated(record, 0, recordSize, t))
                return WalkResult::wrDamaged;
        Span span;
        span.Offset = pos;
        span.Identity = GetU16(record.data() + layout_.IdentityOffset);
        uint64_t at = pos + recordSize;
        for (size_t i = 0; i < layout_.Lists.size(); ++i) {
            const TDatabaseList& l = layout_.Lists[i];
            int32_t count = GetI32(record.data() + l.CountOffset);
            if (count < 0)
                return WalkResult::wrDamaged;
            uint64_t bytes = static_cast<uint64_t>(count) * (old ? l.OldEntrySize : l.EntrySize);
            if (bytes > size - at)
                return WalkResult::wrDamaged;
            if (l.Text.Count > 0 && bytes > 0) {
                list.resize(static_cast<size_t>(bytes));
                if (!ReadAt(fd, at, list.data(), list.size()))
                    return WalkResult::wrIoError;
                const uint32_t entry = old ? l.OldEntrySize : l.EntrySize;
                for (size_t e = 0; e < static_cast<size_t>(count); ++e)
                    if (!TextsTerminated(list, e * entry, (e + 1) * entry, l.Text))
                        return WalkResult::wrDamaged;
            }
            span.ListBytes[i] = bytes;
            at += bytes;
        }
        span.Size = at - pos;
        if (!visit(span, record))
            return WalkResult::wrOk;
        pos = at;
    }
    return WalkResult::wrOk;
}

TSystemDatabase::HeaderResult TSystemDatabase::HeaderMatches(int fd, uint64_t size) const
{
    // The header text alone is enough: the version byte is not examined, and a save adds it.
    const size_t n = layout_.Header.size();
    if (size < n)
        return HeaderResult::hrOther;
    std::vector<uint8_t> head(n);
    if (!ReadAt(fd, 0, head.data(), n))
        return HeaderResult::hrIoError;
    return std::memcmp(head.data(), layout_.Header.data(), n) == 0 ? HeaderResult::hrMatches : HeaderResult::hrOther;
}

// Writes the new file beside the database, flushes it and renames it over the database.
bool TSystemDatabase::Replace(const std::function<bool(int fd)>& write) const
{
    const std::filesystem::path dir = file_.parent_path();
    const std::filesystem::path temp = dir / layout_.TempName;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    Step(TReplaceStep::rsTempOpened);
    bool ok = write(fd);
    if (ok)
        Step(TReplaceStep::rsTempWritten);
    ok = ok && ::fsync(fd) == 0;
    if (ok)
        Step(TReplaceStep::rsTempSynced);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), file_.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    Step(TReplaceStep::rsRenamed);
    // Make the rename itself durable.
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool TSystemDatabase::WriteHeaderOnly() const
{
    return Replace([this](int fd) {
        std::string head = layout_.Header + layout_.Version;
        return WritePart(fd, reinterpret_cast<const uint8_t*>(head.data()), head.size());
    });
}

TDatabaseStatus TSystemDatabase::Open()
{
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec) && !ec) {
        if (!WriteHeaderOnly()) {
            // Tried again by the next load or save.
            Box("The database file can't be created!", "Fatal Error!", platform::MB_OK, owner_);
            return TDatabaseStatus::dsCantCreate;
        }
        return TDatabaseStatus::dsCreated;
    }
    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    uint64_t size = 0;
    if (in.fd < 0 || !FileSize(in.fd, size)) {
        Box("The database file can't be opened!", "Fatal Error!", platform::MB_OK, owner_);
        return TDatabaseStatus::dsCantOpen;
    }
    const auto keepGoing = [](const Span&, const std::vector<uint8_t>&) { return true; };
    WalkResult walk;
    const HeaderResult header = HeaderMatches(in.fd, size);
    if (header == HeaderResult::hrIoError) {
        walk = WalkResult::wrIoError;
    } else if (header == HeaderResult::hrMatches) {
        // The version byte is not examined.
        walk = Walk(in.fd, layout_.Header.size() + 1, size, false, keepGoing);
        if (walk == WalkResult::wrOk)
            return TDatabaseStatus::dsOk;
    } else {
        // Only a file that walks cleanly as old entries is converted; anything else is left alone.
        std::vector<Span> spans;
        walk = Walk(in.fd, 0, size, true, [&spans](const Span& s, const std::vector<uint8_t>&) {
            spans.push_back(s);
            return true;
        });
        if (walk == WalkResult::wrOk) {
            if (!Convert(in.fd, size, spans)) {
                inUse_ = false;
                Box("Can't create the new database file!", "Fatal Error!", platform::MB_OK, owner_);
                return TDatabaseStatus::dsCantConvert;
            }
            return TDatabaseStatus::dsConverted;
        }
    }
    if (walk == WalkResult::wrIoError) {
        Box("The database file can't be opened!", "Fatal Error!", platform::MB_OK, owner_);
        return TDatabaseStatus::dsCantOpen;
    }
    return Damaged();
}

// Rewrites old entries in the current format: each record widened and stamped with the time, each
// list entry widened with zero bytes where the current format has larger entries.
bool TSystemDatabase::Convert(int fd, uint64_t, const std::vector<Span>& spans) const
{
    const TSystemTime now = localNow_();
    return Replace([&](int out) {
        std::string head = layout_.Header + layout_.Version;
        if (!WritePart(out, reinterpret_cast<const uint8_t*>(head.data()), head.size()))
            return false;
        std::vector<uint8_t> record, list, wide;
        for (const Span& s : spans) {
            record.assign(layout_.RecordSize, 0);
            if (!ReadAt(fd, s.Offset, record.data(), layout_.OldRecordSize))
                return false;
            const uint16_t t[8] = {now.Year, now.Month, now.DayOfWeek, now.Day,
                                   now.Hour, now.Minute, now.Second, now.Milliseconds};
            for (int i = 0; i < 8; ++i)
                PutU16(record.data() + layout_.TimeOffset + 2 * i, t[i]);
            if (!WritePart(out, record.data(), record.size()))
                return false;
            uint64_t at = s.Offset + layout_.OldRecordSize;
            for (size_t i = 0; i < layout_.Lists.size(); ++i) {
                const TDatabaseList& l = layout_.Lists[i];
                const uint64_t bytes = s.ListBytes[i];
                if (l.EntrySize == l.OldEntrySize) {
                    if (!CopyRange(fd, at, at + bytes, out))
                        return false;
                } else if (bytes > 0) {
                    list.resize(static_cast<size_t>(bytes));
                    if (!ReadAt(fd, at, list.data(), list.size()))
                        return false;
                    const size_t count = list.size() / l.OldEntrySize;
                    wide.assign(count * l.EntrySize, 0);
                    for (size_t e = 0; e < count; ++e)
                        std::memcpy(wide.data() + e * l.EntrySize, list.data() + e * l.OldEntrySize,
                                    std::min(l.OldEntrySize, l.EntrySize));
                    if (!WritePart(out, wide.data(), wide.size()))
                        return false;
                }
                at += bytes;
            }
        }
        return true;
    });
}

TDatabaseStatus TSystemDatabase::Load(uint16_t identity, TStoredEntry& entry, bool& found)
{
    found = false;
    if (!inUse_)
        return TDatabaseStatus::dsNotUsed;
    const auto cantAccess = [this](TDatabaseStatus status) {
        Box("Cannot access the special database file!", "Fatal Error", platform::MB_OK | platform::MB_ICONERROR,
            nullptr);
        return status;
    };
    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.fd < 0) {
        if (errno != ENOENT)
            return cantAccess(TDatabaseStatus::dsCantOpen);
        return WriteHeaderOnly() ? TDatabaseStatus::dsCreated : cantAccess(TDatabaseStatus::dsCantCreate);
    }
    uint64_t size = 0;
    if (!FileSize(in.fd, size))
        return cantAccess(TDatabaseStatus::dsCantOpen);
    switch (FindEntry(in.fd, size, identity, entry, found)) {
    case WalkResult::wrDamaged: return Damaged();
    case WalkResult::wrIoError: return cantAccess(TDatabaseStatus::dsCantOpen);
    default: return TDatabaseStatus::dsOk;
    }
}

TDatabaseStatus TSystemDatabase::Save(const TStoredEntry& given)
{
    if (!inUse_)
        return TDatabaseStatus::dsNotUsed;
    TStoredEntry entry = given;
    entry.Record.resize(layout_.RecordSize, 0);
    for (size_t i = 0; i < layout_.Lists.size(); ++i) {
        const TDatabaseList& l = layout_.Lists[i];
        entry.Lists[i].resize(entry.Lists[i].size() / l.EntrySize * l.EntrySize);
        PutI32(entry.Record.data() + l.CountOffset, static_cast<int32_t>(entry.Lists[i].size() / l.EntrySize));
    }
    const uint16_t identity = GetU16(entry.Record.data() + layout_.IdentityOffset);
    const auto writeEntry = [&entry](int out) {
        if (!WritePart(out, entry.Record.data(), entry.Record.size()))
            return false;
        for (const auto& list : entry.Lists)
            if (!list.empty() && !WritePart(out, list.data(), list.size()))
                return false;
        return true;
    };
    const auto cantAccess = [this] {
        Box("Cannot access the special database file!", "Fatal Error", platform::MB_OK | platform::MB_ICONERROR,
            nullptr);
        return TDatabaseStatus::dsCantAccess;
    };

    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.fd < 0) {
        if (errno != ENOENT)
            return cantAccess();
        // The file went away while we ran: start it again, with its header.
        bool ok = Replace([&](int out) {
            std::string head = layout_.Header + layout_.Version;
            return WritePart(out, reinterpret_cast<const uint8_t*>(head.data()), head.size()) && writeEntry(out);
        });
        return ok ? TDatabaseStatus::dsOk : cantAccess();
    }
    uint64_t size = 0;
    if (!FileSize(in.fd, size))
        return cantAccess();
    if (const HeaderResult header = HeaderMatches(in.fd, size); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? cantAccess() : Damaged();
    const uint64_t start = layout_.Header.size() + 1;
    Span match;
    bool found = false;
    WalkResult walk = Walk(in.fd, start, size, false, [&](const Span& s, const std::vector<uint8_t>&) {
        if (!found && s.Identity == identity) {
            match = s;
            found = true;
        }
        return true;
    });
    if (walk == WalkResult::wrDamaged)
        return Damaged();
    if (walk == WalkResult::wrIoError)
        return cantAccess();
    bool ok = Replace([&](int out) {
        // The header is kept as it stands, version byte and all; a header without one gets ours.
        if (size < start) {
            const std::string head = layout_.Header + layout_.Version;
            if (!WritePart(out, reinterpret_cast<const uint8_t*>(head.data()), head.size()))
                return false;
        } else if (!CopyRange(in.fd, 0, start, out)) {
            return false;
        }
        if (found) {
            if (!CopyRange(in.fd, start, match.Offset, out) ||
                !CopyRange(in.fd, match.Offset + match.Size, size, out))
                return false;
        } else if (size > start && !CopyRange(in.fd, start, size, out)) {
            return false;
        }
        return writeEntry(out);
    });
    return ok ? TDatabaseStatus::dsOk : cantAccess();
}

TDatabaseStatus TSystemDatabase::ReadIdentities(std::vector<uint16_t>& identities) const
{
    identities.clear();
    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    uint64_t size = 0;
    if (in.fd < 0 || !FileSize(in.fd, size))
        return TDatabaseStatus::dsCantOpen;
    if (const HeaderResult header = HeaderMatches(in.fd, size); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? TDatabaseStatus::dsCantOpen : TDatabaseStatus::dsDamaged;
    const WalkResult walk = Walk(in.fd, layout_.Header.size() + 1, size, false,
                                 [&](const Span& s, const std::vector<uint8_t>&) {
                                     identities.push_back(s.Identity);
                                     return true;
                                 });
    if (walk != WalkResult::wrOk)
        identities.clear();
    return walk == WalkResult::wrOk ? TDatabaseStatus::dsOk
                                    : walk == WalkResult::wrDamaged ? TDatabaseStatus::dsDamaged : TDatabaseStatus::dsCantOpen;
}

TDatabaseStatus TSystemDatabase::ReadEntry(uint16_t identity, TStoredEntry& entry, bool& found) const
{
    found = false;
    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    uint64_t size = 0;
    if (in.fd < 0 || !FileSize(in.fd, size))
        return TDatabaseStatus::dsCantOpen;
    switch (FindEntry(in.fd, size, identity, entry, found)) {
    case WalkResult::wrDamaged: return TDatabaseStatus::dsDamaged;
    case WalkResult::wrIoError: return TDatabaseStatus::dsCantOpen;
    default: return TDatabaseStatus::dsOk;
    }
}

TSystemDatabase::WalkResult TSystemDatabase::FindEntry(int fd, uint64_t size, uint16_t identity, TStoredEntry& entry,
                                                       bool& found) const
{
    if (const HeaderResult header = HeaderMatches(fd, size); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? WalkResult::wrIoError : WalkResult::wrDamaged;
    bool readFailed = false;
    const WalkResult walk = Walk(fd, layout_.Header.size() + 1, size, false,
                                 [&](const Span& s, const std::vector<uint8_t>& record) {
                                     if (s.Identity != identity)
                                         return true;
                                     entry.Record = record;
                                     uint64_t at = s.Offset + layout_.RecordSize;
                                     for (size_t i = 0; i < entry.Lists.size(); ++i) {
                                         entry.Lists[i].resize(static_cast<size_t>(s.ListBytes[i]));
                                         if (!ReadAt(fd, at, entry.Lists[i].data(), entry.Lists[i].size()))
                                             readFailed = true;
                                         at += s.ListBytes[i];
                                     }
                                     found = !readFailed;
                                     return false;
                                 });
    if (walk != WalkResult::wrDamaged && (walk == WalkResult::wrIoError || readFailed)) {
        found = false;
        return WalkResult::wrIoError;
    }
    return walk;
}
