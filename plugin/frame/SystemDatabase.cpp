#include "SystemDatabase.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FieldBytes.h"

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

// A string that fills its field without a terminator is cut by one character, so it ends inside.
void TerminateTexts(std::vector<uint8_t>& bytes, size_t base, size_t limit, const TDatabaseText& t)
{
    for (uint32_t i = 0; i < t.Count && t.Size > 0; ++i) {
        size_t at = base + t.Offset + static_cast<size_t>(i) * t.Size;
        if (at + t.Size > limit)
            return;
        if (!HasTerminator(bytes.data() + at, t.Size))
            bytes[at + t.Size - 1] = 0;
    }
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

// The header's words without the blank that ends them, as a message quotes them.
std::string Trimmed(const std::string& header)
{
    std::string t = header;
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    return t;
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
    bool Unterminated = false;  // a string of the record or a list fills its field without terminator
};

void TSystemDatabase::SetStepHook(std::function<void(TReplaceStep)> hook) { StepHook() = std::move(hook); }

TSystemDatabase::TSystemDatabase(TDatabaseLayout layout, std::filesystem::path file)
    : layout_(std::move(layout)), file_(std::move(file)), localNow_(LocalSystemTime)
{
}

void TSystemDatabase::Tell(TNoticeKind kind, const std::string& text, const std::string& caption, bool icon,
                           bool owned)
{
    lastMessage_ = text;
    const TDatabaseNotice notice{kind, text, caption, icon, owned};
    if (report_)
        report_->Notify(notice);
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

TDatabaseStatus TSystemDatabase::Damaged(const std::string& foreign)
{
    inUse_ = false;
    std::string text;
    if (!foreign.empty())
        text = "The database file " + file_.string() + " holds another database (\"" + Trimmed(foreign) +
               "\"), not a \"" + Trimmed(layout_.Header) +
               "\" file! It is left unchanged, and the systems heard in this session are not saved.";
    else
        text = "The database file " + file_.string() +
               " is damaged! It is left unchanged, and the systems heard in this session are not saved.";
    Tell(TNoticeKind::nkError, text, "Fatal Error!", true, true);
    return TDatabaseStatus::dsDamaged;
}

std::filesystem::path TSystemDatabase::DamagedCopy(int n) const
{
    std::filesystem::path copy = file_;
    copy += ".damaged";
    if (n > 1)
        copy += "." + std::to_string(n);
    return copy;
}

// Keeps the file as it is beside itself before anything writes it over: as "<name>.damaged", or,
// when that name holds other bytes, as "<name>.damaged.2", ".3" and on. A copy already there with
// exactly the file's bytes is kept as it is; a copy of other bytes is never written over.
TSystemDatabase::KeepOutcome TSystemDatabase::KeepOriginal(const Source& in) const
{
    KeepOutcome out;
    for (int n = 1; n <= kDamagedCopies; ++n) {
        out.Copy = DamagedCopy(n);
        int fd = ::open(out.Copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno != EEXIST) {
                out.Reason = CopyFailure(errno);
                return out;
            }
            if (!SameBytes(out.Copy, in))
                continue;
            out.Result = KeepResult::krEarlier;
            return out;
        }
        bool ok = in.CopyRange(0, in.Size, [fd](const uint8_t* buf, size_t n) { return WriteAll(fd, buf, n); });
        ok = ok && ::fsync(fd) == 0;
        int error = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = errno;
        }
        if (!ok) {
            ::unlink(out.Copy.c_str());
            out.Reason = CopyFailure(error);
            return out;
        }
        out.Result = KeepResult::krKept;
        return out;
    }
    out.Copy = DamagedCopy(1);
    out.Reason = "every name from " + DamagedCopy(1).string() + " to " + DamagedCopy(kDamagedCopies).string() +
                 " holds another copy";
    return out;
}

// Whether the file at path is a plain file holding exactly the bytes of in.
bool TSystemDatabase::SameBytes(const std::filesystem::path& path, const Source& in)
{
    TFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) != in.Size)
        return false;
    std::vector<uint8_t> mine(64 * 1024), theirs(64 * 1024);
    for (uint64_t at = 0; at < in.Size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(mine.size(), in.Size - at));
        if (!in.Read(at, mine.data(), n) || !ReadAt(fd.fd, at, theirs.data(), n) ||
            std::memcmp(mine.data(), theirs.data(), n) != 0)
            return false;
        at += n;
    }
    return true;
}

// Why no copy could be made, said so that the user can act on it.
std::string TSystemDatabase::CopyFailure(int error) const
{
    std::filesystem::path dir = file_.parent_path();
    if (dir.empty())
        dir = ".";
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return "the folder " + dir.string() + " is read-only, so the damaged file cannot be repaired there";
    case ENOSPC:
    case EDQUOT:
        return "the disk holding " + dir.string() + " is full";
    default:
        return std::string("it cannot be written (") + std::strerror(error) + ")";
    }
}

// A file with entries that cannot be read whole: its complete entries are used, and the file is
// kept beside itself before anything writes it over. Where no copy can be made, the file is left as
// it is and nothing is saved for the rest of the run. The user is told once of the damage, and once
// that the run's systems cannot be saved. Returns whether the file may be written over.
bool TSystemDatabase::NoteDamage(const Source& in, bool owned, bool used)
{
    if (savesRefused_)
        return false;
    const KeepOutcome kept = KeepOriginal(in);
    const std::string copy = kept.Copy.string();
    if (kept.Result == KeepResult::krFailed) {
        savesRefused_ = true;
        std::string text = "The database file " + file_.string() + " is damaged";
        if (damageNoted_)
            text += " again";
        else if (used)
            text += ": its complete entries are used";
        text += ". It cannot be kept as " + copy + " because " + kept.Reason +
                ". It is left as it is, and the systems heard in this run cannot be saved.";
        damageNoted_ = true;
        Tell(TNoticeKind::nkError, text, "Fatal Error!", true, owned);
        return false;
    }
    if (damageNoted_)
        return true;
    damageNoted_ = true;
    std::string text = "The database file " + file_.string() +
                       " is damaged: its complete entries are used, and what cannot be read is left out when the "
                       "file is next written. ";
    if (kept.Result == KeepResult::krKept)
        text += "The file as it was is kept as " + copy + ".";
    else
        text += "The file as it is was kept before as " + copy + ".";
    Tell(TNoticeKind::nkWarning, text, "Warning", true, owned);
    return true;
}

// Walks the entries from start and checks each against the layout: every count non-negative and
// every list inside the file. visit sees each complete entry with its record and may stop the walk
// by returning false. An entry cut short or with a count that cannot be ends the walk (wrDamaged,
// after the complete entries before it); a string without its terminator only marks its entry.
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
        Span span;
        span.Offset = pos;
        span.Identity = GetU16(record.data() + layout_.IdentityOffset);
        for (const TDatabaseText& t : layout_.RecordTexts)
            if (!TextsTerminated(record, 0, recordSize, t))
                span.Unterminated = true;
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
                        span.Unterminated = true;
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

// Every complete entry from the first; damaged tells whether anything could not be read whole.
TSystemDatabase::WalkResult TSystemDatabase::WalkAll(const Source& in, uint64_t start, bool old,
                                                     std::vector<Span>& spans, bool& damaged) const
{
    spans.clear();
    const WalkResult walk = Walk(in, start, old, [&spans](const Span& s, const std::vector<uint8_t>&) {
        spans.push_back(s);
        return true;
    });
    damaged = walk == WalkResult::wrDamaged ||
              std::any_of(spans.begin(), spans.end(), [](const Span& s) { return s.Unterminated; });
    return walk == WalkResult::wrIoError ? walk : WalkResult::wrOk;
}

// An entry's record and lists as they are used: every string ending inside its field.
bool TSystemDatabase::ReadSpan(const Source& in, const Span& s, bool old, TStoredEntry& entry) const
{
    const uint32_t recordSize = old ? layout_.OldRecordSize : layout_.RecordSize;
    entry.Record.resize(recordSize);
    if (!in.Read(s.Offset, entry.Record.data(), recordSize))
        return false;
    for (const TDatabaseText& t : layout_.RecordTexts)
        TerminateTexts(entry.Record, 0, recordSize, t);
    uint64_t at = s.Offset + recordSize;
    for (size_t i = 0; i < entry.Lists.size(); ++i) {
        std::vector<uint8_t>& list = entry.Lists[i];
        list.resize(static_cast<size_t>(s.ListBytes[i]));
        if (!in.Read(at, list.data(), list.size()))
            return false;
        const TDatabaseList& l = layout_.Lists[i];
        const uint32_t size = old ? l.OldEntrySize : l.EntrySize;
        if (l.Text.Count > 0 && size > 0)
            for (size_t e = 0; e + size <= list.size(); e += size)
                TerminateTexts(list, e, e + size, l.Text);
        at += s.ListBytes[i];
    }
    return true;
}

TSystemDatabase::HeaderResult TSystemDatabase::HeaderMatches(const Source& in, std::string* foreign) const
{
    // The header text alone is enough: the version byte is not examined, and a save adds it.
    size_t longest = layout_.Header.size();
    for (const std::string& other : layout_.OtherHeaders)
        longest = std::max(longest, other.size());
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(in.Size, longest)));
    if (!in.Read(0, head.data(), head.size()))
        return HeaderResult::hrIoError;
    const auto startsWith = [&head](const std::string& h) {
        return head.size() >= h.size() && std::memcmp(head.data(), h.data(), h.size()) == 0;
    };
    if (startsWith(layout_.Header))
        return HeaderResult::hrMatches;
    // Another decoder's database put in this one's place: no old file either.
    for (const std::string& other : layout_.OtherHeaders)
        if (!other.empty() && startsWith(other)) {
            if (foreign)
                *foreign = other;
            return HeaderResult::hrForeign;
        }
    return HeaderResult::hrOther;
}

// Writes the new file beside the database, flushes it and renames it over the database. Where no
// file can be made beside it (a folder the user may not write in), the database itself is written
// over instead, whole, when it is there (original: what it holds now).
bool TSystemDatabase::Replace(const std::function<bool(const TPut&)>& produce, const Source* original) const
{
    const std::filesystem::path dir = file_.parent_path();
    const std::filesystem::path temp = dir / layout_.TempName;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return WriteInPlace(produce, original);
    Step(TReplaceStep::rsTempOpened);
    bool ok = produce(PutToFile(fd));
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

// The whole new file is made in memory first, then written from the start and cut to its length;
// if that fails, what the file held is written back.
bool TSystemDatabase::WriteInPlace(const std::function<bool(const TPut&)>& produce, const Source* original) const
{
    if (!original)
        return false;
    std::vector<uint8_t> image, before;
    if (!produce(PutToImage(image)) || !original->CopyRange(0, original->Size, PutToImage(before)))
        return false;
    TFd out(::open(file_.c_str(), O_WRONLY | O_CLOEXEC));
    if (out.fd < 0)
        return false;
    bool ok = WriteAll(out.fd, image.data(), image.size()) &&
              ::ftruncate(out.fd, static_cast<off_t>(image.size())) == 0 && ::fsync(out.fd) == 0;
    if (!ok) {
        if (::lseek(out.fd, 0, SEEK_SET) == 0 && WriteAll(out.fd, before.data(), before.size()))
            ::ftruncate(out.fd, static_cast<off_t>(before.size()));
        ::fsync(out.fd);
    }
    const int fd = out.fd;
    out.fd = -1;
    return (::close(fd) == 0) && ok;
}

bool TSystemDatabase::WriteHeaderOnly() const
{
    return Replace(
        [this](const TPut& put) {
            std::string head = layout_.Header + layout_.Version;
            return put(reinterpret_cast<const uint8_t*>(head.data()), head.size());
        },
        nullptr);
}

TDatabaseStatus TSystemDatabase::Open()
{
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec) && !ec) {
        if (!WriteHeaderOnly()) {
            // Tried again by the next load or save.
            Tell(TNoticeKind::nkError, "The database file can't be created!", "Fatal Error!", false, true);
            return TDatabaseStatus::dsCantCreate;
        }
        return TDatabaseStatus::dsCreated;
    }
    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    uint64_t size = 0;
    if (in.fd < 0 || !FileSize(in.fd, size)) {
        Tell(TNoticeKind::nkError, "The database file can't be opened!", "Fatal Error!", false, true);
        return TDatabaseStatus::dsCantOpen;
    }
    const Source src{in.fd, nullptr, size};
    std::vector<Span> spans;
    WalkResult walk = WalkResult::wrOk;
    bool damaged = false;
    std::string foreign;
    const TDatabaseStatus status = Check(src, spans, walk, damaged, &foreign);
    if (walk == WalkResult::wrIoError) {
        Tell(TNoticeKind::nkError, "The database file can't be opened!", "Fatal Error!", false, true);
        return TDatabaseStatus::dsCantOpen;
    }
    if (status == TDatabaseStatus::dsOk)
        return TDatabaseStatus::dsOk;
    if (status == TDatabaseStatus::dsRecovered) {
        NoteDamage(src, true);
        return TDatabaseStatus::dsRecovered;
    }
    if (status == TDatabaseStatus::dsConverted) {
        // A damaged old file that cannot be kept is not converted; the notice has said why.
        if (damaged && !NoteDamage(src, true, false)) {
            inUse_ = false;
            return TDatabaseStatus::dsCantConvert;
        }
        if (!Replace([&](const TPut& put) { return Convert(src, spans, put); }, &src)) {
            inUse_ = false;
            Tell(TNoticeKind::nkError, "Can't create the new database file!", "Fatal Error!", false, true);
            return TDatabaseStatus::dsCantConvert;
        }
        return TDatabaseStatus::dsConverted;
    }
    return Damaged(foreign);
}

// Checks the file as Open does: dsOk when it has the current layout, dsRecovered when it has the
// header but not every entry can be read whole, dsConverted when it is an old headerless file (its
// complete entries given for the conversion), dsDamaged when it is neither (walk tells whether a
// read failed; foreign, when given, names another database's header the file starts with). damaged
// tells whether anything cannot be read whole.
TDatabaseStatus TSystemDatabase::Check(const Source& in, std::vector<Span>& spans, WalkResult& walk,
                                       bool& damaged, std::string* foreign) const
{
    damaged = false;
    walk = WalkResult::wrOk;
    spans.clear();
    const HeaderResult header = HeaderMatches(in, foreign);
    if (header == HeaderResult::hrIoError) {
        walk = WalkResult::wrIoError;
        return TDatabaseStatus::dsDamaged;
    }
    if (header == HeaderResult::hrForeign)
        return TDatabaseStatus::dsDamaged;
    if (header == HeaderResult::hrMatches) {
        // The version byte is not examined.
        walk = WalkAll(in, layout_.Header.size() + 1, false, spans, damaged);
        spans.clear();
        if (walk != WalkResult::wrOk)
            return TDatabaseStatus::dsDamaged;
        return damaged ? TDatabaseStatus::dsRecovered : TDatabaseStatus::dsOk;
    }
    // Without the header, a file is taken for an old one when it reads as old entries; one that
    // damaged from its first entry on is no database, and it is left alone.
    walk = WalkAll(in, 0, true, spans, damaged);
    if (walk != WalkResult::wrOk || (damaged && spans.empty()))
        return TDatabaseStatus::dsDamaged;
    return TDatabaseStatus::dsConverted;
}

// Writes old entries in the current format: each record widened and stamped with the time, each
// list entry widened with zero bytes where the current format has larger entries.
bool TSystemDatabase::Convert(const Source& in, const std::vector<Span>& spans, const TPut& put) const
{
    const TSystemTime now = localNow_();
    std::string head = layout_.Header + layout_.Version;
    if (!put(reinterpret_cast<const uint8_t*>(head.data()), head.size()))
        return false;
    TStoredEntry old;
    std::vector<uint8_t> wide;
    for (const Span& s : spans) {
        if (!ReadSpan(in, s, true, old))
            return false;
        old.Record.resize(layout_.RecordSize, 0);
        const uint16_t t[8] = {now.Year, now.Month, now.DayOfWeek, now.Day,
                               now.Hour, now.Minute, now.Second, now.Milliseconds};
        for (int i = 0; i < 8; ++i)
            PutU16(old.Record.data() + layout_.TimeOffset + 2 * i, t[i]);
        if (!put(old.Record.data(), old.Record.size()))
            return false;
        for (size_t i = 0; i < layout_.Lists.size(); ++i) {
            const TDatabaseList& l = layout_.Lists[i];
            const std::vector<uint8_t>& list = old.Lists[i];
            if (list.empty())
                continue;
            if (l.EntrySize == l.OldEntrySize) {
                if (!put(list.data(), list.size()))
                    return false;
                continue;
            }
            const size_t count = list.size() / l.OldEntrySize;
            wide.assign(count * l.EntrySize, 0);
            for (size_t e = 0; e < count; ++e)
                std::memcpy(wide.data() + e * l.EntrySize, list.data() + e * l.OldEntrySize,
                            std::min(l.OldEntrySize, l.EntrySize));
            if (!put(wide.data(), wide.size()))
                return false;
        }
    }
    return true;
}

// Finds the first complete entry with the identity and reads its record and lists; damaged tells
// whether the walk up to it met anything that cannot be read whole.
TSystemDatabase::WalkResult TSystemDatabase::Find(const Source& in, uint16_t identity, TStoredEntry& entry,
                                                  bool& found, bool& damaged) const
{
    found = false;
    damaged = false;
    bool readFailed = false;
    const WalkResult walk = Walk(in, layout_.Header.size() + 1, false,
                                 [&](const Span& s, const std::vector<uint8_t>&) {
                                     damaged = damaged || s.Unterminated;
                                     if (s.Identity != identity)
                                         return true;
                                     readFailed = !ReadSpan(in, s, false, entry);
                                     found = !readFailed;
                                     return false;
                                 });
    if (walk == WalkResult::wrIoError || readFailed) {
        found = false;
        return WalkResult::wrIoError;
    }
    damaged = damaged || walk == WalkResult::wrDamaged;
    return WalkResult::wrOk;
}

TDatabaseStatus TSystemDatabase::Load(uint16_t identity, TStoredEntry& entry, bool& found)
{
    found = false;
    if (!inUse_)
        return TDatabaseStatus::dsNotUsed;
    const auto cantAccess = [this](TDatabaseStatus status) {
        Tell(TNoticeKind::nkError, "Cannot access the special database file!", "Fatal Error", true, false);
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
    std::string foreign;
    if (const HeaderResult header = HeaderMatches(src, &foreign); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? cantAccess(TDatabaseStatus::dsCantOpen) : Damaged(foreign);
    bool damaged = false;
    if (Find(src, identity, entry, found, damaged) == WalkResult::wrIoError)
        return cantAccess(TDatabaseStatus::dsCantOpen);
    if (damaged)
        NoteDamage(src, false);
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

// Writes the file's complete entries (spans, in file order) without the stored copies of the entry's
// system, then the entry at its end; the header is kept as it stands, version byte and all, and a
// header without one gets ours. What the walk could not read whole is left out.
bool TSystemDatabase::WriteSaved(const Source& in, const TStoredEntry& entry, const std::vector<Span>& spans,
                                 const TPut& put) const
{
    const uint64_t start = layout_.Header.size() + 1;
    if (in.Size < start) {
        const std::string head = layout_.Header + layout_.Version;
        if (!put(reinterpret_cast<const uint8_t*>(head.data()), head.size()))
            return false;
    } else if (!in.CopyRange(0, start, put)) {
        return false;
    }
    const uint16_t identity = GetU16(entry.Record.data() + layout_.IdentityOffset);
    TStoredEntry kept;
    for (const Span& s : spans) {
        if (s.Identity == identity)
            continue;
        if (!s.Unterminated) {
            if (!in.CopyRange(s.Offset, s.Offset + s.Size, put))
                return false;
            continue;
        }
        if (!ReadSpan(in, s, false, kept) || !put(kept.Record.data(), kept.Record.size()))
            return false;
        for (const auto& list : kept.Lists)
            if (!list.empty() && !put(list.data(), list.size()))
                return false;
    }
    if (!put(entry.Record.data(), entry.Record.size()))
        return false;
    for (const auto& list : entry.Lists)
        if (!list.empty() && !put(list.data(), list.size()))
            return false;
    return true;
}

TDatabaseStatus TSystemDatabase::Save(const TStoredEntry& given)
{
    if (!inUse_)
        return TDatabaseStatus::dsNotUsed;
    if (savesRefused_)
        return TDatabaseStatus::dsNotSaved;
    const TStoredEntry entry = Normalized(given);
    const auto cantAccess = [this] {
        Tell(TNoticeKind::nkError, "Cannot access the special database file!", "Fatal Error", true, false);
        return TDatabaseStatus::dsCantAccess;
    };

    TFd in(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.fd < 0) {
        if (errno != ENOENT)
            return cantAccess();
        // The file went away while we ran: start it again, with its header.
        const std::vector<uint8_t> none;
        const bool ok = Replace(
            [&](const TPut& put) { return WriteSaved(Source::OfImage(none), entry, {}, put); }, nullptr);
        return ok ? TDatabaseStatus::dsOk : cantAccess();
    }
    uint64_t size = 0;
    if (!FileSize(in.fd, size))
        return cantAccess();
    const Source src{in.fd, nullptr, size};
    std::string foreign;
    if (const HeaderResult header = HeaderMatches(src, &foreign); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? cantAccess() : Damaged(foreign);
    // Every stored copy of the system goes: a file written elsewhere may hold more than one, and a
    // copy left behind would be loaded in place of the one saved.
    std::vector<Span> spans;
    bool damaged = false;
    if (WalkAll(src, layout_.Header.size() + 1, false, spans, damaged) == WalkResult::wrIoError)
        return cantAccess();
    // A damaged file is written over only once a copy of it is kept; the notice has said why not.
    if (damaged && !NoteDamage(src, false))
        return TDatabaseStatus::dsNotSaved;
    const bool ok = Replace([&](const TPut& put) { return WriteSaved(src, entry, spans, put); }, &src);
    return ok ? TDatabaseStatus::dsOk : cantAccess();
}

TDatabaseStatus TSystemDatabase::ReadIdentities(const Source& in, std::vector<uint16_t>& identities) const
{
    identities.clear();
    if (const HeaderResult header = HeaderMatches(in); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? TDatabaseStatus::dsCantOpen : TDatabaseStatus::dsDamaged;
    std::vector<Span> spans;
    bool damaged = false;
    if (WalkAll(in, layout_.Header.size() + 1, false, spans, damaged) == WalkResult::wrIoError)
        return TDatabaseStatus::dsCantOpen;
    for (const Span& s : spans)
        identities.push_back(s.Identity);
    return TDatabaseStatus::dsOk;
}

TDatabaseStatus TSystemDatabase::ReadEntry(const Source& in, uint16_t identity, TStoredEntry& entry, bool& found) const
{
    found = false;
    if (const HeaderResult header = HeaderMatches(in); header != HeaderResult::hrMatches)
        return header == HeaderResult::hrIoError ? TDatabaseStatus::dsCantOpen : TDatabaseStatus::dsDamaged;
    bool damaged = false;
    return Find(in, identity, entry, found, damaged) == WalkResult::wrOk ? TDatabaseStatus::dsOk
                                                                        : TDatabaseStatus::dsCantOpen;
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

// The same work on an image of the file in memory: no file, no notice, no change to whether the
// database is in use.

TDatabaseStatus TSystemDatabase::CheckImage(const std::vector<uint8_t>& image, std::vector<uint8_t>& current) const
{
    const Source src = Source::OfImage(image);
    std::vector<Span> spans;
    WalkResult walk = WalkResult::wrOk;
    bool damaged = false;
    TDatabaseStatus status = Check(src, spans, walk, damaged);
    current.clear();
    // A file with damaged entries is left as it is until it is next written.
    if (status == TDatabaseStatus::dsRecovered)
        status = TDatabaseStatus::dsOk;
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
    std::vector<Span> spans;
    bool damaged = false;
    if (WalkAll(src, layout_.Header.size() + 1, false, spans, damaged) != WalkResult::wrOk)
        return TDatabaseStatus::dsDamaged;
    std::vector<uint8_t> out;
    WriteSaved(src, entry, spans, PutToImage(out));
    image.swap(out);
    return TDatabaseStatus::dsOk;
}
