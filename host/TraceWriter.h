#pragma once
// One JSON object per line for everything that passes through the host, time-stamped in seconds
// from the host's start. Each line is appended with one write, so the receiver library's own lines
// (KVAPI32_TRACE naming the same file) fall between them whole.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TraceWriter {
public:
    TraceWriter() = default;
    // An empty path writes nothing.
    explicit TraceWriter(const std::string& path);
    ~TraceWriter();
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;
    bool enabled() const { return fd_ >= 0; }
    // The moment t counts from, in the clock's milliseconds.
    int64_t startMs() const { return startMs_; }

    // A field value: text or a number, written in that form.
    struct Field {
        std::string key;
        std::string value;
        bool number;
    };
    static Field text(std::string k, std::string v) { return {std::move(k), std::move(v), false}; }
    static Field number(std::string k, int64_t v) { return {std::move(k), std::to_string(v), true}; }

    // {"t":<seconds>, fields...}
    void write(const std::vector<Field>& fields);
    static std::string line(double t, const std::vector<Field>& fields);
    static std::string quote(const std::string& s);

private:
    int fd_ = -1;
    int64_t startMs_ = 0;
};
