// A control device for ALSA with no card behind it, for the mixer tests: one line input ("Line") with
// stereo playback and capture volumes and switches, and a mono microphone capture volume. Its values
// live in the process, shared by every open of the device, and each write is reported to every open
// handle, as a card's driver does.
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#include <cstring>
#include <mutex>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {

struct Element {
    const char* name;
    int type;  // SND_CTL_ELEM_TYPE_INTEGER or _BOOLEAN
    unsigned channels;
    long max;
    std::vector<long> values;
};

struct Handle {
    snd_ctl_ext_t ext{};
    int fd = -1;
    std::vector<size_t> events;  // elements changed since the owner last read
};

std::vector<Element> initialElements()
{
    return {
        {"Line Playback Volume", SND_CTL_ELEM_TYPE_INTEGER, 2, 100, {40, 60}},
        {"Line Playback Switch", SND_CTL_ELEM_TYPE_BOOLEAN, 2, 1, {1, 1}},
        {"Line Capture Volume", SND_CTL_ELEM_TYPE_INTEGER, 2, 100, {25, 75}},
        {"Line Capture Switch", SND_CTL_ELEM_TYPE_BOOLEAN, 2, 1, {1, 1}},
        {"Mic Capture Volume", SND_CTL_ELEM_TYPE_INTEGER, 1, 31, {10}},
    };
}

struct Card {
    std::mutex mutex;
    std::vector<Element> elements = initialElements();
    std::vector<Handle*> handles;
};

Card& card()
{
    static Card* c = new Card;  // lives as long as the process: handles may close at its exit
    return *c;
}

Handle* self(snd_ctl_ext_t* ext) { return static_cast<Handle*>(ext->private_data); }

void signal(Handle* h)
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(h->fd, &one, sizeof one);
}

int elemCount(snd_ctl_ext_t*) { return int(card().elements.size()); }

int elemList(snd_ctl_ext_t*, unsigned offset, snd_ctl_elem_id_t* id)
{
    if (offset >= card().elements.size())
        return -EINVAL;
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, card().elements[offset].name);
    return 0;
}

snd_ctl_ext_key_t findElem(snd_ctl_ext_t*, const snd_ctl_elem_id_t* id)
{
    const char* name = snd_ctl_elem_id_get_name(id);
    for (size_t i = 0; i < card().elements.size(); ++i)
        if (std::strcmp(name, card().elements[i].name) == 0)
            return i;
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

int getAttribute(snd_ctl_ext_t*, snd_ctl_ext_key_t key, int* type, unsigned* acc, unsigned* count)
{
    const Element& e = card().elements.at(key);
    *type = e.type;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = e.channels;
    return 0;
}

int getIntegerInfo(snd_ctl_ext_t*, snd_ctl_ext_key_t key, long* imin, long* imax, long* istep)
{
    *imin = 0;
    *imax = card().elements.at(key).max;
    *istep = 1;
    return 0;
}

int readInteger(snd_ctl_ext_t*, snd_ctl_ext_key_t key, long* value)
{
    std::lock_guard lock(card().mutex);
    const Element& e = card().elements.at(key);
    std::copy(e.values.begin(), e.values.end(), value);
    return 0;
}

int writeInteger(snd_ctl_ext_t*, snd_ctl_ext_key_t key, long* value)
{
    std::lock_guard lock(card().mutex);
    Element& e = card().elements.at(key);
    if (std::equal(e.values.begin(), e.values.end(), value))
        return 0;
    std::copy(value, value + e.channels, e.values.begin());
    for (Handle* h : card().handles)
        if (h->ext.subscribed) {
            h->events.push_back(key);
            signal(h);
        }
    return 1;
}

void subscribeEvents(snd_ctl_ext_t*, int) {}

int readEvent(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned* mask)
{
    std::lock_guard lock(card().mutex);
    Handle* h = self(ext);
    if (h->events.empty()) {
        uint64_t v;
        [[maybe_unused]] ssize_t r = ::read(h->fd, &v, sizeof v);  // nothing more to wake for
        return -EAGAIN;
    }
    const size_t key = h->events.front();
    h->events.erase(h->events.begin());
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, card().elements[key].name);
    *mask = SND_CTL_EVENT_MASK_VALUE;
    return 1;
}

void closeHandle(snd_ctl_ext_t* ext)
{
    Handle* h = self(ext);
    {
        std::lock_guard lock(card().mutex);
        std::erase(card().handles, h);
    }
    ::close(h->fd);
    delete h;
}

const snd_ctl_ext_callback_t kCallbacks = [] {
    snd_ctl_ext_callback_t c{};
    c.close = closeHandle;
    c.elem_count = elemCount;
    c.elem_list = elemList;
    c.find_elem = findElem;
    c.get_attribute = getAttribute;
    c.get_integer_info = getIntegerInfo;
    c.read_integer = readInteger;
    c.write_integer = writeInteger;
    c.subscribe_events = subscribeEvents;
    c.read_event = readEvent;
    return c;
}();

}  // namespace

extern "C" {

// Puts every value back as it was at the start, for the next test.
void korvanta_test_ctl_reset()
{
    std::lock_guard lock(card().mutex);
    card().elements = initialElements();
}

SND_CTL_PLUGIN_DEFINE_FUNC(korvanta_test)
{
    (void)root;
    (void)conf;
    auto* h = new Handle;
    h->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    h->ext.version = SND_CTL_EXT_VERSION;
    h->ext.card_idx = 0;
    std::strcpy(h->ext.id, "Korvanta");
    std::strcpy(h->ext.driver, "korvanta-test");
    std::strcpy(h->ext.name, "Test mixer");
    std::strcpy(h->ext.longname, "Test mixer with no card");
    std::strcpy(h->ext.mixername, "Test mixer");
    h->ext.poll_fd = h->fd;
    h->ext.callback = &kCallbacks;
    h->ext.private_data = h;
    const int err = snd_ctl_ext_create(&h->ext, name, mode);
    if (err < 0) {
        ::close(h->fd);
        delete h;
        return err;
    }
    {
        std::lock_guard lock(card().mutex);
        card().handles.push_back(h);
    }
    *handlep = h->ext.handle;
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(korvanta_test)

}  // extern "C"
