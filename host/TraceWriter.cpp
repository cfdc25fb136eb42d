#include "TraceWriter.h"

#include "platform/clock/Clock.h"
#include "platform/text/NumberText.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

TraceWriter::TraceWriter(const std::string& path) : startMs_(platform::clock().nowMs())
{
    if (!path.empty())
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
}

TraceWriter::~TraceWriter()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string TraceWriter::quote(const std::string& s)
{
    std::string r = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': r += "\\\""; break;
        case '\\': r += "\\\\"; break;
        case '\n': r += "\\n"; break;
        case '\r': r += "\\r"; break;
        case '\t': r += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                r += buf;
            } else {
                r += static_cast<char>(c);
            }
        }
    }
    return r + "\"";
}

std::string TraceWriter::line(double t, const std::vector<Field>& fields)
{
    const std::string ts = platform::FixedText(t, 3);
    std::string r = std::string("{\"t\":") + ts;
    for (const Field& f : fields)
        r += "," + quote(f.key) + ":" + (f.number ? f.value : quote(f.value));
    return r + "}";
}

void TraceWriter::write(const std::vector<Field>& fields)
{
    if (fd_ < 0)
        return;
    const std::string text = line(double(platform::clock().nowMs() - startMs_) / 1000.0, fields) + "\n";
    const ssize_t written = ::write(fd_, text.data(), text.size());
    (void)written;  // a trace that cannot be written must not stop the host
}
