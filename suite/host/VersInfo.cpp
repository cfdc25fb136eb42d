#include "VersInfo.h"

#include <QEvent>

#include <cstdio>

namespace {

const char* const kStringNames[] = {"CompanyName",     "FileDescription", "FileVersion",      "InternalName",
                                    "LegalCopyright",  "LegalTrademarks", "OriginalFilename", "ProductName",
                                    "ProductVersion",  "Comments"};

uint32_t Dword(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

}  // namespace

TVerInfo::TVerInfo(const TVersionResource* resource) : resource_(resource)
{
    if (!resource)
        throw ENoVerInfoError("No version information available");
    if (!resource->Readable)
        throw EVerInfoError("Cannot obtain version information");
    if (resource->Translations.empty())
        throw EVerInfoError("No language information");
    language_ = resource->Translations.front().first;
    codePage_ = resource->Translations.front().second;
    if (resource->Fixed.size() < 52)
        throw ENoFixedVerInfo("No fixed version information");
    const uint32_t flags = Dword(resource->Fixed, 28) & Dword(resource->Fixed, 24);
    if (flags & 0x02)
        flags_.push_back("Pre-release");
    if (flags & 0x08)
        flags_.push_back("Private build");
    if (flags & 0x20)
        flags_.push_back("Special build");
    if (flags & 0x01)
        flags_.push_back("Debug");
}

std::string TVerInfo::Query(TVerInfoType t) const
{
    char lang[16];
    std::snprintf(lang, sizeof lang, "%.4x%.4x", unsigned(language_), unsigned(codePage_));
    const std::string path = std::string("\\StringFileInfo\\") + lang + "\\" + kStringNames[t];
    auto it = resource_->Strings.find(path);
    return it == resource_->Strings.end() ? std::string() : it->second;
}

TVerInfoLabel::TVerInfoLabel(QWidget* parent, const TVersionResource* resource)
    : QLabel(parent), info_(std::make_unique<TVerInfo>(resource))
{
    setTextFormat(Qt::PlainText);
    SetVersionInfo(viProductVersion);
}

TVerInfoLabel::~TVerInfoLabel() = default;

void TVerInfoLabel::SetVersionInfo(TVerInfoType t)
{
    if (t == type_)
        return;
    type_ = t;
    setText(QString::fromStdString(info_->Query(t)));
    adjustSize();
}

void TVerInfoLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        adjustSize();
}
