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

// Where a new file's pieces go: the file being written, or an image in memory.
using TPut = std::function<bool(const uint8_t*, size_t)>;

TPut PutToFile(int fd)
{
    return [fd](const uint8_t* buf, size_t n) { return WritePart(fd, buf, n); };
}

TPut PutToImage(std::vector<uint8_t>& image)
{
    return [&image](const uint8_t* buf, size_t n) {
        image.insert(image.end(), buf, buf + n);
        return true;
    };
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

// What the database reads: the file through its descriptor, or an image of it in memory.
struct TSystemDatabase::Source {
    int Fd = -1;
    const std::vector<uint8_t>* Image = nullptr;
    uint64_t Size = 0;

    static Source OfImage(const std::vector<uint8_t>& image) { return {-1, &image, image.size()}; }

    bool Read(uint64_t offset, uint8_t* buf, size_t n) const
    {
        if (!Image)
            return ReadAt(Fd, offset, buf, n);
        if (offset > Image->size() || n > Image->size() - offset)
            return false;
        if (n > 0)
            std::memcpy(buf, Image->data() + offset, n);
        return true;
    }

    bool CopyRange(uint64_t from, uint64_t to, const TPut& put) const
    {
        std::vector<uint8_t> buf(static_cast<size_t>(std::min<uint64_t>(64 * 1024, to > from ? to - from : 0)));
        while (from < to) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), to - from));
            if (!Read(from, buf.data(), n) || !put(buf.data(), n))
                return false;
            from += n;
        }
        return true;
    }
};

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
    const Source& in, uint64_t start, bool old,
    const std::function<bool(const Span&, const std::vector<uint8_t>&)>& visit) const
{
    const uint32_t recordSize = old ? layout_.OldRecordSize : layout_.RecordSize;
    std::vector<uint8_t> record(recordSize);
    std::vector<uint8_t> list;
    const uint64_t size = in.Size;
    uint64_t pos = start;
    while (pos < size) {
        if (size - pos < recordSize)
            return WalkResult::wrDamaged;
        if (!in.Read(pos, record.data(), recordSize))
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
                if (!in.Read(at, list.data(), list.size()))
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

TSystemDatabase::HeaderResult TSystemDatabase::HeaderMatches(const Source& in) const
{
    // The header text alone is enough: the version byte is not examined, and a save adds it.
    const size_t n = layout_.Header.size();
    if (in.Size < n)
        return HeaderResult::hrOther;
    std::vector<uint8_t> head(n);
    if (!in.Read(0, head.data(), n))
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
    const Source src{in.fd, nullptr, size};
    std::vector<Span> spans;
    WalkResult walk = WalkResult::wrOk;
    const TDatabaseStatus status = Check(src, spans, walk);
    if (status == TDatabaseStatus::dsOk)
        return TDatabaseStatus::dsOk;
    if (status == TDatabaseStatus::dsConverted) {
        if (!Replace([&](int out) { return Convert(src, spans, PutToFile(out)); })) {
            inUse_ = false;
            Box("Can't create the new database file!", "Fatal Error!", platform::MB_OK, owner_);
            return TDatabaseStatus::dsCantConvert;
        }
        return TDatabaseStatus::dsConverted;
    }
    if (walk == WalkResult::wrIoError) {
        Box("The database file can't be opened!", "Fatal Error!", platform::MB_OK, owner_);
        return TDatabaseStatus::dsCantOpen;
    }
    return Damaged();
}

// Checks the file as Open does: dsOk when it has the current layout, dsConverted when it walks cleanly
// as old headerless entries (their spans given for the conversion), dsDamaged otherwise (walk tells
// whether that was a read error).
TDatabaseStatus TSystemDatabase::Check(const Source& in, std::vector<Span>& spans, WalkResult& walk) const
{
    const auto keepGoing = [](const Span&, const std::vector<uint8_t>&) { return true; };
    const HeaderResult header = HeaderMatches(in);
    if (header == HeaderResult::hrIoError) {
        walk = WalkResult::wrIoError;
    } else if (header == HeaderResult::hrMatches) {
        // The version byte is not examined.
        walk = Walk(in, layout_.Header.size() + 1, false, keepGoing);
        if (walk == WalkResult::wrOk)
            return TDatabaseStatus::dsOk;
    } else {
        // Only a file that walks cleanly as old entries is converted; anything else is left alone.
        walk = Walk(in, 0, true, [&spans](const Span& s, const std::vector<uint8_t>&) {
            spans.push_back(s);
            return true;
        });
        if (walk == WalkResult::wrOk)
            return TDatabaseStatus::dsConverted;
    }
    return TDatabaseStatus::dsDamaged;
}

// Writes old entries in the current format: each record widened and stamped with the time, each
// list entry widened with zero bytes where the current format has larger entries.
bool TSystemDatabase::Convert(const Source& in, const std::vector<Span>& spans, const TPut& put) const
{
    const TSystemTime now = localNow_();
    std::string head = layout_.Header + layout_.Version;
    if (!put(reinterpret_cast<const uint8_t*>(head.data()), head.size()))
        return false;
    std::vector<uint8_t> record, list, wide;
    for (const Span& s : spans) {
        record.assign(layout_.RecordSize, 0);
        if (!in.Read(s.Offset, record.data(), layout_.OldRecordSize))
            return false;
        const uint16_t t[8] = {now.Year, now.Month, now.DayOfWeek, now.Day,
                               now.Hour, now.Minute, now.Second, now.Milliseconds};
        for (int i = 0; i < 8; ++i)
            PutU16(record.data() + layout_.TimeOffset + 2 * i, t[i]);
        if (!put(record.data(), record.size()))
            return false;
        uint64_t at = s.Offset + layout_.OldRecordSize;
        for (size_t i = 0; i < layout_.Lists.size(); ++i) {
            const TDatabaseList& l = layout_.Lists[i];
            const uint64_t bytes = s.ListBytes[i];
            if (l.EntrySize == l.OldEntrySize) {
                if (!in.CopyRange(at, at + bytes, put))
                    return false;
            } else if (bytes > 0) {
                list.resize(static_cast<size_t>(bytes));
                if (!in.Read(at, list.data(), list.size()))
                    return false;
                const size_t count = list.size() / l.OldEntrySize;
                wide.assign(count * l.EntrySize, 0);
                for (size_t e = 0; e < count; ++e)
                    std::memcpy(wide.data() + e * l.EntrySize, list.data() + e * l.OldEntrySize,
                                std::min(l.OldEntrySize, l.EntrySize));
                if (!put(wide.data(), wide.size()))
                    return false;
            }
            at += bytes;
        }
    }
    return true;
}

// Finds the first entry with the identity and reads its record and lists.
TSystemDatabase::WalkResult TSystemDatabase::Find(const Source& in, uint16_t identity, TStoredEntry& entry,
                                                  bool& found) const
{
    found = false;
    bool readFailed = false;
    const WalkResult walk = Walk(in, layout_.Header.size() + 1, false,
                                 [&](const Span& s, const std::vector<uint8_t>& record) {
                                     if (s.Identity != identity)
                                         return true;
                                     entry.Record = record;
                                     uint64_t at = s.Offset + layout_.RecordSize;
                                     for (size_t i = 0; i < entry.Lists.size(); ++i) {
                                         entry.Lists[i].resize(static_cast<size_t>(s.ListBytes[i]));
                                         if (!in.Read(at, entry.Lists[i].data(), entry.Lists[i].size()))
                                             readFailed = true;
                                         at += s.ListBytes[i];
                                     }
                                     found = !readFailed;
                                     return false;
                                 });
    if (walk == WalkResult::wrOk && readFailed) {
        found = false;
        return WalkResult::wrIoError;
    }
    if (walk != WalkResult::wrOk)
        found = false;
    return walk;
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
    const Source src{in.fd, nullptr, size};
    if (const HeaderResult header = HeaderMatches(src); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? cantAccess(TDatabaseStatus::dsCantOpen) : Damaged();
    const WalkResult walk = Find(src, identity, entry, found);
    if (walk == WalkResult::wrDamaged)
        return Damaged();
    if (walk == WalkResult::wrIoError)
        return cantAccess(TDatabaseStatus::dsCantOpen);
    return TDatabaseStatus::dsOk;
}

// The entry as it is written: record at its full size, each list a whole number of entries, the counts
// in the record set from the list sizes.
TStoredEntry TSystemDatabase::Normalized(const TStoredEntry& given) const
{
    TStoredEntry entry = given;
    entry.Record.resize(layout_.RecordSize, 0);
    for (size_t i = 0; i < layout_.Lists.size(); ++i) {
        const TDatabaseList& l = layout_.Lists[i];
        entry.Lists[i].resize(entry.Lists[i].size() / l.EntrySize * l.EntrySize);
        PutI32(entry.Record.data() + l.CountOffset, static_cast<int32_t>(entry.Lists[i].size() / l.EntrySize));
    }
    return entry;
}

// Writes the file with the entry's stored copies (matches, in file order) taken out and the entry put at
// its end; the header is kept as it stands, version byte and all, and a header without one gets ours.
bool TSystemDatabase::WriteSaved(const Source& in, const TStoredEntry& entry, const std::vector<Span>& matches,
                                 const TPut& put) const
{
    const uint64_t start = layout_.Header.size() + 1;
    const uint64_t size = in.Size;
    if (size < start) {
        const std::string head = layout_.Header + layout_.Version;
        if (!put(reinterpret_cast<const uint8_t*>(head.data()), head.size()))
            return false;
    } else if (!in.CopyRange(0, start, put)) {
        return false;
    }
    uint64_t at = start;
    for (const Span& match : matches) {
        if (!in.CopyRange(at, match.Offset, put))
            return false;
        at = match.Offset + match.Size;
    }
    if (size > at && !in.CopyRange(at, size, put))
        return false;
    if (!put(entry.Record.data(), entry.Record.size()))
        return false;
    for (const auto& list : entry.Lists)
        if (!list.empty() && !put(list.data(), list.size()))
            return false;
    return true;
}

// Every stored copy of a system: a file written elsewhere may hold more than one, and a copy left
// behind would be loaded in place of the one saved.
TSystemDatabase::WalkResult TSystemDatabase::FindSpans(const Source& in, uint16_t identity,
                                                       std::vector<Span>& matches) const
{
    matches.clear();
    return Walk(in, layout_.Header.size() + 1, false, [&](const Span& s, const std::vector<uint8_t>&) {
        if (s.Identity == identity)
            matches.push_back(s);
        return true;
    });
}

TDatabaseStatus TSystemDatabase::Save(const TStoredEntry& given)
{
    if (!inUse_)
        return TDatabaseStatus::dsNotUsed;
    const TStoredEntry entry = Normalized(given);
    const uint16_t identity = GetU16(entry.Record.data() + layout_.IdentityOffset);
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
        const std::vector<uint8_t> none;
        bool ok = Replace([&](int out) { return WriteSaved(Source::OfImage(none), entry, {}, PutToFile(out)); });
        return ok ? TDatabaseStatus::dsOk : cantAccess();
    }
    uint64_t size = 0;
    if (!FileSize(in.fd, size))
        return cantAccess();
    const Source src{in.fd, nullptr, size};
    if (const HeaderResult header = HeaderMatches(src); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? cantAccess() : Damaged();
    std::vector<Span> matches;
    const WalkResult walk = FindSpans(src, identity, matches);
    if (walk == WalkResult::wrDamaged)
        return Damaged();
    if (walk == WalkResult::wrIoError)
        return cantAccess();
    bool ok = Replace([&](int out) { return WriteSaved(src, entry, matches, PutToFile(out)); });
    return ok ? TDatabaseStatus::dsOk : cantAccess();
}

TDatabaseStatus TSystemDatabase::ReadIdentities(const Source& in, std::vector<uint16_t>& identities) const
{
    identities.clear();
    if (const HeaderResult header = HeaderMatches(in); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? TDatabaseStatus::dsCantOpen : TDatabaseStatus::dsDamaged;
    const WalkResult walk = Walk(in, layout_.Header.size() + 1, false,
                                 [&](const Span& s, const std::vector<uint8_t>&) {
                                     identities.push_back(s.Identity);
                                     return true;
                                 });
    if (walk != WalkResult::wrOk)
        identities.clear();
    return walk == WalkResult::wrOk ? TDatabaseStatus::dsOk
                                    : walk == WalkResult::wrDamaged ? TDatabaseStatus::dsDamaged : TDatabaseStatus::dsCantOpen;
}

TDatabaseStatus TSystemDatabase::ReadEntry(const Source& in, uint16_t identity, TStoredEntry& entry, bool& found) const
{
    found = false;
    if (const HeaderResult header = HeaderMatches(in); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? TDatabaseStatus::dsCantOpen : TDatabaseStatus::dsDamaged;
    const WalkResult walk = Find(in, identity, entry, found);
    return walk == WalkResult::wrOk ? TDatabaseStatus::dsOk
                                    : walk == WalkResult::wrDamaged ? TDatabaseStatus::dsDamaged : TDatabaseStatus::dsCantOpen;
}

TDatabaseStatus TSystemDatabase::ReadIdentities(std::vector<uint16_t>& identities) const
{
    identities.clear();
    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    uint64_t size = 0;
    if (in.fd < 0 || !FileSize(in.fd, size))
        return TDatabaseStatus::dsCantOpen;
    return ReadIdentities(Source{in.fd, nullptr, size}, identities);
}

TDatabaseStatus TSystemDatabase::ReadEntry(uint16_t identity, TStoredEntry& entry, bool& found) const
{
    found = false;
    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    uint64_t size = 0;
    if (in.fd < 0 || !FileSize(in.fd, size))
        return TDatabaseStatus::dsCantOpen;
    return ReadEntry(Source{in.fd, nullptr, size}, identity, entry, found);
}

// The same work on an image of the file in memory: no file, no box, no change to whether the
// database is in use.

TDatabaseStatus TSystemDatabase::CheckImage(const std::vector<uint8_t>& image, std::vector<uint8_t>& current) const
{
    const Source src = Source::OfImage(image);
    std::vector<Span> spans;
    WalkResult walk = WalkResult::wrOk;
    const TDatabaseStatus status = Check(src, spans, walk);
    current.clear();
    if (status == TDatabaseStatus::dsOk)
        current = image;
    else if (status == TDatabaseStatus::dsConverted && !Convert(src, spans, PutToImage(current)))
        return TDatabaseStatus::dsDamaged;
    return status;
}

TDatabaseStatus TSystemDatabase::ReadIdentities(const std::vector<uint8_t>& image,
                                                std::vector<uint16_t>& identities) const
{
    return ReadIdentities(Source::OfImage(image), identities);
}

TDatabaseStatus TSystemDatabase::ReadEntry(const std::vector<uint8_t>& image, uint16_t identity, TStoredEntry& entry,
                                           bool& found) const
{
    return ReadEntry(Source::OfImage(image), identity, entry, found);
}

TDatabaseStatus TSystemDatabase::SaveImage(std::vector<uint8_t>& image, const TStoredEntry& given) const
{
    const TStoredEntry entry = Normalized(given);
    const Source src = Source::OfImage(image);
    if (HeaderMatches(src) != HeaderResult::hrMatches)
        return TDatabaseStatus::dsDamaged;
    std::vector<Span> matches;
    if (FindSpans(src, GetU16(entry.Record.data() + layout_.IdentityOffset), matches) != WalkResult::wrOk)
        return TDatabaseStatus::dsDamaged;
    std::vector<uint8_t> out;
    WriteSaved(src, entry, matches, PutToImage(out));
    image.swap(out);
    return TDatabaseStatus::dsOk;
}
