#include "Rtf.h"

#include "platform/ui/Codepage.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

namespace platform {

// ---- Writer --------------------------------------------------------------------------------------

namespace {

// Braces, backslashes and the entry terminator cannot stand in a font table name; writer and reader
// clean names alike so that what is read can be written again.
std::string cleanFontName(const std::string& utf8)
{
    QString name = QString::fromStdString(utf8);
    name.remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(QLatin1Char('\\')).remove(QLatin1Char(';'));
    for (QChar& c : name)
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    return name.trimmed().toStdString();
}

void appendText(std::string& out, const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    for (QChar qc : text) {
        char16_t u = qc.unicode();
        switch (u) {
        case '\\': out += "\\\\"; continue;
        case '{': out += "\\{"; continue;
        case '}': out += "\\}"; continue;
        case '\n': out += "\\par\n"; continue;
        case 0x2029: out += "\\par\n"; continue;
        case 0x2028: out += "\\line "; continue;
        case '\t': out += "\\tab "; continue;
        case '\r': continue;
        default: break;
        }
        if (u >= 0x20 && u < 0x80) {
            out += static_cast<char>(u);
            continue;
        }
        if (u < 0x20)
            continue;  // other control characters have no place in the text
        int b = UnicodeToCp1252(u);
        if (b >= 0x80 && !QChar::isSurrogate(u)) {
            out += "\\'";
            out += hex[(b >> 4) & 0xF];
            out += hex[b & 0xF];
        } else {
            // \u takes a signed 16-bit value; the '?' is what older readers show instead.
            out += "\\u" + std::to_string(static_cast<int16_t>(u)) + "?";
        }
    }
}

}  // namespace

std::string WriteRtf(const std::vector<RtfRun>& runs)
{
    std::vector<std::string> fonts;
    std::vector<TColor> colours;
    std::vector<std::string> runFonts;
    for (const RtfRun& r : runs) {
        runFonts.push_back(cleanFontName(r.FontName));
        const std::string& name = runFonts.back();
        if (!name.empty() && std::find(fonts.begin(), fonts.end(), name) == fonts.end())
            fonts.push_back(name);
        TColor c = ColorToRGB(r.Color);
        if (std::find(colours.begin(), colours.end(), c) == colours.end())
            colours.push_back(c);
    }
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1";
    out += "{\\fonttbl";
    if (fonts.empty())
        out += "{\\f0\\fnil\\fcharset0 ;}";
    for (size_t i = 0; i < fonts.size(); ++i)
        out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 " + ToCp1252(QString::fromStdString(fonts[i])) + ";}";
    out += "}\n{\\colortbl ;";
    for (TColor c : colours)
        out += "\\red" + std::to_string(GetRValue(c)) + "\\green" + std::to_string(GetGValue(c)) + "\\blue" +
               std::to_string(GetBValue(c)) + ";";
    out += "}\n";
    for (size_t k = 0; k < runs.size(); ++k) {
        const RtfRun& r = runs[k];
        out += "{";
        if (!runFonts[k].empty())
            out += "\\f" + std::to_string(std::find(fonts.begin(), fonts.end(), runFonts[k]) - fonts.begin());
        if (r.FontSize > 0)
            out += "\\fs" + std::to_string(std::min(r.FontSize, 16383) * 2);
        out += "\\cf" + std::to_string(std::find(colours.begin(), colours.end(), ColorToRGB(r.Color)) - colours.begin() + 1);
        if (r.Style & fsBold)
            out += "\\b";
        if (r.Style & fsItalic)
            out += "\\i";
        if (r.Style & fsUnderline)
            out += "\\ul";
        if (r.Style & fsStrikeOut)
            out += "\\strike";
        out += " ";
        appendText(out, r.Text);
        out += "}";
    }
    out += "}\n";
    return out;
}

// ---- Reader --------------------------------------------------------------------------------------

namespace {

enum class Dest { Text, Skip, FontTable, ColorTable };

struct GroupState {
    Dest dest = Dest::Text;
    unsigned style = 0;
    int font = -1;      // -1: none given
    int halfPoints = 0;  // 0: none given
    int colour = -1;  // -1: none given (the automatic colour)
    int ucSkip = 1;
    int fontEntry = -1;  // font table: the entry being read
};

// Destinations whose content is not document text.
bool isSkippedDestination(const std::string& w)
{
    static const char* const names[] = {
        "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "footnote", "object", "fldinst", "listtable", "listoverridetable", "rsidtbl",
        "generator", "xmlnstbl", "themedata", "colorschememapping", "latentstyles", "datastore", "revtbl",
        "filetbl", "pgdsctbl", "bkmkstart", "bkmkend", "annotation", "atnid", "atnauthor", "comment",
        "nonshppict", "shppict", "shpinst", "sp", "title", "author", "operator", "keywords", "doccomm",
        "company", "template", "userprops", "mmathPr", "pnseclvl", "pntext", "pntxta", "pntxtb",
        "blipuid", "wgrffmtfilter", "passwordhash", "fontemb", "fontfile", "falt", "panose",
    };
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return w == n; });
}

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    std::vector<RtfRun> run()
    {
        while (pos_ < in_.size()) {
            char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                push();
            } else if (c == '}') {
                ++pos_;
                pop();
            } else if (c == '\\') {
                ++pos_;
                controlSequence();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                byte(static_cast<uint8_t>(c));
            }
        }
        flush();
        return std::move(runs_);
    }

private:
    // Deeper nesting than this is counted, not stored, so hostile input cannot exhaust memory.
    static constexpr size_t kMaxDepth = 256;
    static constexpr size_t kMaxColours = 65536;

    GroupState& st() { return stack_.back(); }

    void push()
    {
        if (stack_.size() >= kMaxDepth) {
            ++overflow_;
            return;
        }
        GroupState next = st();
        next.fontEntry = -1;
        stack_.push_back(next);
        groupStart_ = true;
    }

    void pop()
    {
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.size() <= 1)
            return;  // an unbalanced closing brace
        flush();  // the group's format ends with it
        if (st().dest == Dest::FontTable)
            endFontName();
        stack_.pop_back();
        groupStart_ = false;
        skipPending_ = 0;
    }

    // Reads a control word with its parameter, or a control symbol.
    void controlSequence()
    {
        bool atGroupStart = groupStart_;
        groupStart_ = false;
        if (pos_ >= in_.size())
            return;
        char c = in_[pos_];
        if (!isLetter(c)) {
            ++pos_;
            controlSymbol(c, atGroupStart);
            return;
        }
        std::string word;
        while (pos_ < in_.size() && isLetter(in_[pos_])) {
            if (word.size() < 32)
                word += in_[pos_];
            ++pos_;
        }
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            hasParam = true;
            if (param < 100000000000LL)
                param = param * 10 + (in_[pos_] - '0');
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        param = std::clamp(negative ? -param : param, -2147483648LL, 2147483647LL);
        controlWord(word, hasParam, static_cast<int>(param), atGroupStart);
    }

    void controlSymbol(char c, bool atGroupStart)
    {
        switch (c) {
        case '\\': case '{': case '}': literal(static_cast<uint8_t>(c)); break;
        case '\'': {
            int hi = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
            int lo = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
            if (hi < 0)
                break;
            ++pos_;
            int v = hi;
            if (lo >= 0) {
                ++pos_;
                v = hi * 16 + lo;
            }
            byte(static_cast<uint8_t>(v), true);
            break;
        }
        case '*':
            if (atGroupStart)
                st().dest = Dest::Skip;
            break;
        case '~': character(0x00A0); break;
        case '_': character(0x2011); break;
        case '\n': case '\r': paragraph(); break;
        default: break;  // \- optional hyphen, \| \: and the unknown
        }
    }

    void controlWord(const std::string& w, bool hasParam, int p, bool atGroupStart)
    {
        GroupState& s = st();
        if (w == "bin") {
            // Binary data follows; skip it whole.
            size_t n = hasParam && p > 0 ? static_cast<size_t>(p) : 0;
            pos_ += std::min(n, in_.size() - pos_);
            return;
        }
        if (s.dest == Dest::Skip)
            return;
        if (w == "fonttbl") { s.dest = Dest::FontTable; return; }
        if (w == "colortbl") {
            s.dest = Dest::ColorTable;
            colours_.clear();
            autoColours_.clear();
            red_ = green_ = blue_ = 0;
            colourGiven_ = false;
            return;
        }
        if (isSkippedDestination(w) && (atGroupStart || w == "pict" || w == "info" || w == "stylesheet")) {
            s.dest = Dest::Skip;
            return;
        }
        if (s.dest == Dest::FontTable) {
            if (w == "f") {
                endFontName();
                s.fontEntry = hasParam ? p : 0;
                fontName_.clear();
            }
            return;
        }
        if (s.dest == Dest::ColorTable) {
            int v = std::clamp(p, 0, 255);
            if (w == "red") red_ = v;
            else if (w == "green") green_ = v;
            else if (w == "blue") blue_ = v;
            else return;
            colourGiven_ = true;
            return;
        }
        unsigned bit = 0;
        if (w == "b") bit = fsBold;
        else if (w == "i") bit = fsItalic;
        else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "uldash") bit = fsUnderline;
        else if (w == "strike" || w == "striked") bit = fsStrikeOut;
        if (bit) {
            setStyle(bit, !hasParam || p != 0);
            return;
        }
        if (w == "ulnone") { setStyle(fsUnderline, false); return; }
        if (w == "plain") {
            flushIfChanged();
            s.style = 0;
            s.font = -1;
            s.halfPoints = 0;
            s.colour = -1;
            return;
        }
        if (w == "cf") { changeFormat([&] { s.colour = std::max(0, p); }); return; }
        if (w == "f") { changeFormat([&] { s.font = hasParam ? std::max(0, p) : 0; }); return; }
        if (w == "fs") { changeFormat([&] { s.halfPoints = hasParam ? std::clamp(p, 0, 32767) : 0; }); return; }
        if (w == "uc") { s.ucSkip = std::clamp(p, 0, 16); return; }
        if (w == "u") {
            int v = p < 0 ? p + 65536 : p;
            if (v >= 0 && v <= 0xFFFF)
                unicodeUnit(static_cast<char16_t>(v));
            skipPending_ = s.ucSkip;
            return;
        }
        if (w == "par" || w == "sect" || w == "page") { paragraph(); return; }
        if (w == "line") { character(0x2028); return; }
        if (w == "tab") { character('\t'); return; }
        if (w == "emdash") { character(0x2014); return; }
        if (w == "endash") { character(0x2013); return; }
        if (w == "lquote") { character(0x2018); return; }
        if (w == "rquote") { character(0x2019); return; }
        if (w == "ldblquote") { character(0x201C); return; }
        if (w == "rdblquote") { character(0x201D); return; }
        if (w == "bullet") { character(0x2022); return; }
        if (w == "emspace" || w == "enspace" || w == "qmspace") { character(' '); return; }
        // Everything else (paragraph layout, page setup ...) does not change the runs.
    }

    template <typename F>
    void changeFormat(F&& change)
    {
        flushIfChanged();
        change();
    }

    void setStyle(unsigned bit, bool on)
    {
        flushIfChanged();
        if (on)
            st().style |= bit;
        else
            st().style &= ~bit;
    }

    // A plain byte of text (or \'hh): in the font table it belongs to the name, elsewhere to the text.
    void byte(uint8_t b, bool escaped = false)
    {
        groupStart_ = false;
        if (skipPending_ > 0) {
            --skipPending_;
            return;
        }
        GroupState& s = st();
        if (s.dest == Dest::Skip)
            return;
        if (s.dest == Dest::FontTable) {
            if (b == ';' && !escaped)
                endFontName();
            else if (fontName_.size() < 256)
                fontName_ += static_cast<char>(b);
            return;
        }
        if (s.dest == Dest::ColorTable) {
            // Entries past any real table's size are read and dropped, so a hostile table stays small.
            if (b == ';' && !escaped && colours_.size() >= kMaxColours) {
                red_ = green_ = blue_ = 0;
                colourGiven_ = false;
            } else if (b == ';' && !escaped) {
                colours_.push_back(RGB(static_cast<unsigned>(red_), static_cast<unsigned>(green_), static_cast<unsigned>(blue_)));
                autoColours_.push_back(!colourGiven_);
                red_ = green_ = blue_ = 0;
                colourGiven_ = false;
            }
            return;
        }
        character(Cp1252ToUnicode(b));
    }

    void literal(uint8_t b) { byte(b, true); }

    void unicodeUnit(char16_t u)
    {
        if (st().dest != Dest::Text)
            return;
        if (QChar::isHighSurrogate(u)) {
            highSurrogate_ = u;
            return;
        }
        if (QChar::isLowSurrogate(u)) {
            if (highSurrogate_) {
                startText();
                text_ += QChar(highSurrogate_);
                text_ += QChar(u);
            }
            highSurrogate_ = 0;
            return;
        }
        character(u);
    }

    void character(char32_t c)
    {
        if (st().dest != Dest::Text)
            return;
        highSurrogate_ = 0;
        if (c < 0x20 && c != '\t' && c != '\n')
            return;  // control characters are not text
        startText();
        if (c > 0xFFFF)
            text_ += QString::fromUcs4(&c, 1);
        else
            text_ += QChar(static_cast<char16_t>(c));
    }

    void paragraph() { character('\n'); }

    void startText()
    {
        if (text_.isEmpty())
            textFormat_ = currentFormat();
    }

    RtfRun currentFormat() const
    {
        const GroupState& s = stack_.back();
        RtfRun r;
        r.Style = s.style;
        // Entry 0 is usually the empty one standing for the automatic colour.
        if (s.colour >= 0 && static_cast<size_t>(s.colour) < colours_.size() && !autoEntry(s.colour))
            r.Color = colours_[static_cast<size_t>(s.colour)];
        if (s.font >= 0) {
            auto it = fonts_.find(s.font);
            if (it != fonts_.end())
                r.FontName = it->second;
        }
        r.FontSize = s.halfPoints / 2;
        return r;
    }

    void flushIfChanged()
    {
        // Pending text keeps the format it was started with; a change ends it.
        flush();
    }

    void flush()
    {
        if (text_.isEmpty())
            return;
        RtfRun r = textFormat_;
        r.Text = text_;
        text_.clear();
        if (!runs_.empty()) {
            RtfRun& last = runs_.back();
            if (last.Color == r.Color && last.Style == r.Style && last.FontName == r.FontName &&
                last.FontSize == r.FontSize) {
                last.Text += r.Text;
                return;
            }
        }
        runs_.push_back(std::move(r));
    }

    void endFontName()
    {
        GroupState& s = st();
        if (s.fontEntry >= 0 && !fontName_.empty()) {
            std::string name = cleanFontName(FromCp1252(fontName_).toStdString());
            if (!name.empty() && fonts_.size() < 4096)
                fonts_[s.fontEntry] = name;
        }
        fontName_.clear();
        s.fontEntry = -1;
    }

    bool autoEntry(int i) const { return static_cast<size_t>(i) < autoColours_.size() && autoColours_[static_cast<size_t>(i)]; }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::string_view in_;
    size_t pos_ = 0;
    std::vector<GroupState> stack_{GroupState{}};
    size_t overflow_ = 0;
    bool groupStart_ = false;
    int skipPending_ = 0;
    char16_t highSurrogate_ = 0;
    std::map<int, std::string> fonts_;
    std::string fontName_;
    std::vector<TColor> colours_;
    std::vector<bool> autoColours_;  // entries written without a colour
    bool colourGiven_ = false;
    int red_ = 0, green_ = 0, blue_ = 0;
    QString text_;
    RtfRun textFormat_;
    std::vector<RtfRun> runs_;
};

}  // namespace

std::vector<RtfRun> ReadRtf(std::string_view rtf) { return Reader(rtf).run(); }

bool LooksLikeRtf(std::string_view data)
{
    size_t i = data.find_first_not_of(" \t\r\n");
    return i != std::string_view::npos && data.substr(i, 5) == "{\\rtf";
}

QString RtfPlainText(const std::vector<RtfRun>& runs)
{
    QString out;
    for (const RtfRun& r : runs)
        out += r.Text;
    return out;
}

}  // namespace platform
