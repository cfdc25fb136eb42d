#pragma once
// A plug-in's system database file: a header with a version byte, then one entry per radio system heard,
// each a fixed-size record followed by five lists whose entry counts the record holds. The plug-ins
// describe their record with a TDatabaseLayout; this class checks, converts, loads and saves entries as
// raw bytes, and the plug-in encodes its record field by field.
//
// The file is only ever replaced whole: a new file is written beside it, flushed to disk and renamed over
// it, so a crash at any moment leaves either the old file or the new one. Where no new file can be made
// beside it (a folder the user may not write in), the file itself is written over, whole, from a copy
// made in memory. A file that is missing and cannot be created, or cannot be read, is tried again at the
// next load or save.
//
// An entry that cannot be read whole (cut short, or a count that is negative or reaches past the end)
// ends what is read of the file: the complete entries before it are used, and the next write leaves the
// rest out. A string without its terminator is cut to fit its field. Before such a file is written
// over, a copy of exactly its bytes is kept beside it as "<name>.damaged", or under the next free
// name "<name>.damaged.2", ".3", ... when that name holds other bytes (a copy is never written over);
// the user is told once. Where no copy can be made, the file is left as it is, nothing is saved for
// the rest of the run, and the user is told why. A file that has neither the header nor one
// complete old entry, or that starts with another decoder's database header, is no database: it is
// refused and left as it is, and the database is not used for the run.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "DatabaseReport.h"
#include "SystemTime.h"

// Count zero-terminated strings of Size bytes each, one after another from Offset.
struct TDatabaseText {
    uint32_t Offset = 0;
    uint32_t Size = 0;
    uint32_t Count = 0;
};

// One of the five lists after a record: where the record keeps its count, and the size of one entry in
// the current and in the old headerless format (an old entry is widened with zero bytes on conversion).
struct TDatabaseList {
    uint32_t CountOffset = 0;
    uint32_t EntrySize = 0;
    uint32_t OldEntrySize = 0;
    TDatabaseText Text;  // strings inside each entry (offset within the entry), Count 1 or 0
};

struct TDatabaseLayout {
    std::string Header;           // the header's characters, without terminator
    char Version = '1';           // the version byte written into new files
    uint32_t RecordSize = 0;      // record of the current format
    uint32_t OldRecordSize = 0;   // record of the old headerless format
    uint32_t IdentityOffset = 0;  // unsigned 16-bit system identity
    uint32_t TimeOffset = 0;      // where the conversion stores the time (eight 16-bit fields)
    std::array<TDatabaseList, 5> Lists;
    std::vector<TDatabaseText> RecordTexts;
    std::string TempName;         // the new file while it is written, beside the database
    // Headers of the other decoders' databases: a file that starts with one is refused, never taken
    // for an old headerless file of this one.
    std::vector<std::string> OtherHeaders;
};

// One system as stored: its record and the bytes of its five lists.
struct TStoredEntry {
    std::vector<uint8_t> Record;
    std::array<std::vector<uint8_t>, 5> Lists;
};

enum class TDatabaseStatus {
    dsOk,           // done (Load: looked up, found or not)
    dsCreated,      // the file was missing and now holds the header only
    dsConverted,    // an old headerless file was rewritten in the current format
    dsNotUsed,      // the database is not in use this run; nothing was done
    dsCantCreate,   // the file could not be created
    dsCantOpen,     // the file could not be opened or read
    dsCantConvert,  // the new file of a conversion could not be written; the old one is unchanged
    dsCantAccess,   // a save could not read the file or write the new one; the file is unchanged
    dsDamaged,      // the file does not have the layout; it is unchanged and no longer used
    dsRecovered,    // the file has entries that cannot be read whole; the complete ones are used
    dsNotSaved,     // the file has entries that cannot be read whole and cannot be kept: it is not written
};

// The steps of replacing the file, for tests that stop a process between them.
enum class TReplaceStep { rsTempOpened, rsPartWritten, rsTempWritten, rsTempSynced, rsRenamed };

class TSystemDatabase {
public:
    TSystemDatabase(TDatabaseLayout layout, std::filesystem::path file);

    const TDatabaseLayout& Layout() const { return layout_; }
    const std::filesystem::path& File() const { return file_; }
    // Where the notices for the user go (nullptr: to standard error, as "caption: text").
    void SetReport(TDatabaseReport* report) { report_ = report; }
    // The clock that stamps converted records (local time by default).
    void SetTimeSource(std::function<TSystemTime()> localNow) { localNow_ = std::move(localNow); }

    // At start-up: creates a missing file with its header, checks an existing one, converts an old
    // headerless file. Tells the user of a failure; a file that is no database, or an old one that could
    // not be converted, is not used afterwards.
    TDatabaseStatus Open();
    // False once the file was found damaged or could not be converted.
    bool InUse() const { return inUse_; }

    // Reads the first entry with this identity (found tells whether there was one). A missing file is
    // created with its header. A file that cannot be created or read is reported ("Cannot access the
    // special database file!"): dsCantCreate when it is missing, dsCantOpen when it is there but unread.
    TDatabaseStatus Load(uint16_t identity, TStoredEntry& entry, bool& found);
    // For browsing, without creating or reporting anything: the identities of the stored entries in
    // file order (dsOk; dsCantOpen when the file is missing or unreadable, dsDamaged when it does not
    // have the layout), and the first entry with an identity.
    TDatabaseStatus ReadIdentities(std::vector<uint16_t>& identities) const;
    TDatabaseStatus ReadEntry(uint16_t identity, TStoredEntry& entry, bool& found) const;
    // Replaces the stored copy of the entry's system (every copy, when a file holds more than one) and
    // puts the entry at the end of the file; the counts in the record are set from the list sizes. A missing file is
    // created with its header.
    TDatabaseStatus Save(const TStoredEntry& entry);

    // The same on an image of the file held in memory, touching no file, telling nothing and leaving
    // InUse as it is (for checking a file's bytes quickly, as the fuzz tests do). CheckImage gives what
    // Open would make of the file: dsOk (current is the image, also for a file with damaged entries,
    // which Open leaves as it is), dsConverted (current is the converted file) or dsDamaged (current is
    // empty); the time stamp of a conversion comes from the time source.
    // SaveImage replaces the image by what Save would write, or gives dsDamaged and leaves it.
    TDatabaseStatus CheckImage(const std::vector<uint8_t>& image, std::vector<uint8_t>& current) const;
    TDatabaseStatus ReadIdentities(const std::vector<uint8_t>& image, std::vector<uint16_t>& identities) const;
    TDatabaseStatus ReadEntry(const std::vector<uint8_t>& image, uint16_t identity, TStoredEntry& entry,
                              bool& found) const;
    TDatabaseStatus SaveImage(std::vector<uint8_t>& image, const TStoredEntry& entry) const;

    // Text of the last notice (empty if none).
    const std::string& LastMessage() const { return lastMessage_; }

    // Called at each step of replacing the file; an empty function removes the hook.
    static void SetStepHook(std::function<void(TReplaceStep)> hook);

private:
    struct Span;
    struct Source;
    using Put = std::function<bool(const uint8_t*, size_t)>;
    enum class WalkResult { wrOk, wrDamaged, wrIoError };
    enum class KeepResult { krKept, krEarlier, krFailed };
    struct KeepOutcome {
        KeepResult Result = KeepResult::krFailed;
        std::filesystem::path Copy;  // the copy kept, or the name it could not be kept as
        std::string Reason;          // why it could not be kept
    };
    static constexpr int kDamagedCopies = 999;  // "<name>.damaged" up to "<name>.damaged.999"
    WalkResult Walk(const Source& in, uint64_t start, bool old,
                    const std::function<bool(const Span&, const std::vector<uint8_t>&)>& visit) const;
    WalkResult WalkAll(const Source& in, uint64_t start, bool old, std::vector<Span>& spans, bool& damaged) const;
    bool ReadSpan(const Source& in, const Span& s, bool old, TStoredEntry& entry) const;
    enum class HeaderResult { hrMatches, hrOther, hrForeign, hrIoError };
    HeaderResult HeaderMatches(const Source& in, std::string* foreign = nullptr) const;
    TDatabaseStatus Check(const Source& in, std::vector<Span>& spans, WalkResult& walk, bool& damaged,
                          std::string* foreign = nullptr) const;
    WalkResult Find(const Source& in, uint16_t identity, TStoredEntry& entry, bool& found, bool& damaged) const;
    TDatabaseStatus ReadIdentities(const Source& in, std::vector<uint16_t>& identities) const;
    TDatabaseStatus ReadEntry(const Source& in, uint16_t identity, TStoredEntry& entry, bool& found) const;
    TStoredEntry Normalized(const TStoredEntry& given) const;
    bool WriteSaved(const Source& in, const TStoredEntry& entry, const std::vector<Span>& spans,
                    const Put& put) const;
    bool Replace(const std::function<bool(const Put&)>& produce, const Source* original) const;
    bool WriteInPlace(const std::function<bool(const Put&)>& produce, const Source* original) const;
    bool WriteHeaderOnly() const;
    bool Convert(const Source& in, const std::vector<Span>& spans, const Put& put) const;
    std::filesystem::path DamagedCopy(int n) const;
    KeepOutcome KeepOriginal(const Source& in) const;
    static bool SameBytes(const std::filesystem::path& path, const Source& in);
    std::string CopyFailure(int error) const;
    bool NoteDamage(const Source& in, bool owned, bool used = true);
    void Tell(TNoticeKind kind, const std::string& text, const std::string& caption, bool icon, bool owned);
    TDatabaseStatus Damaged(const std::string& foreign = {});

    TDatabaseLayout layout_;
    std::filesystem::path file_;
    TDatabaseReport* report_ = nullptr;
    std::function<TSystemTime()> localNow_;
    bool inUse_ = true;
    bool damageNoted_ = false;   // the user has been told the file has damaged entries
    bool savesRefused_ = false;  // a damaged file could not be kept: it is not written this run
    std::string lastMessage_;
};
