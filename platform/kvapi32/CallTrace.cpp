#include "CallTrace.h"

#include "platform/text/NumberText.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform::kvapi {

std::string CallTraceLine(double t, const char* dir, const char* call, std::optional<int32_t> receiver,
                          const std::vector<int64_t>& args, int64_t result)
{
    const std::string ts = platform::FixedText(t, 3);
    std::string r = std::string("{\"t\":") + ts + ",\"dir\":\"" + dir + "\",\"call\":\"" + call + "\"";
    if (receiver)
        r += ",\"receiver\":" + std::to_string(*receiver);
    r += ",\"args\":[";
    for (size_t i = 0; i < args.size(); ++i)
        r += (i ? "," : "") + std::to_string(args[i]);
    return r + "],\"result\":" + std::to_string(result) + "}";
}

void AppendTraceLine(const char* path, const std::string& line)
{
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const std::string text = line + "\n";
    const ssize_t written = ::write(fd, text.data(), text.size());
    (void)written;  // a trace that cannot be written must not disturb the caller
    ::close(fd);
}

}  // namespace platform::kvapi
