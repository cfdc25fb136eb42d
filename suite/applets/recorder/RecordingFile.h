#pragma once
// The recorder's WAV file while it grows: the 44-byte header first, then the captured bytes as
// each buffer arrives. The header's sizes are brought up to date on disk after every buffer, so the
// file is a whole WAV at any moment, also when the program is ended without a Stop.
#include "WaveFileHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TRecordingFile {
public:
    TRecordingFile() = default;
    ~TRecordingFile();  // closes the file as it stands (its header is already current)
    TRecordingFile(const TRecordingFile&) = delete;
    TRecordingFile& operator=(const TRecordingFile&) = delete;

    // Creates the file, replacing one of that name, and writes the header with no data; false with
    // the reason when the file cannot be made.
    bool Create(const std::string& path, const TWaveFileHeader& header, std::string* error);
    // Appends captured bytes and writes the new sizes into the header; false with the reason when
    // the disk refuses (what was written before stays a whole file).
    bool Append(const uint8_t* data, size_t bytes, std::string* error = nullptr);
    // Cuts the file at the end of the data, writes the header once more and closes.
    bool Finish();

    bool IsOpen() const { return fd_ >= 0; }
    const TWaveFileHeader& Header() const { return header_; }
    uint32_t DataSize() const { return header_.DataSize; }
    const std::string& Path() const { return path_; }

private:
    bool WriteHeader();
    void Close();

    int fd_ = -1;
    std::string path_;
    TWaveFileHeader header_;
    uint64_t written_ = 0;  // data bytes in the file
};
