// The conversation wire as a peer's bytes arrive, in pieces of any size: every frame the reader
// hands out encodes back to a frame that reads the same, and a broken stream stays broken.
#include "FuzzTarget.h"

#include "platform/dde/DdeWire.h"

namespace fuzz {

namespace wire = platform::dde::wire;

namespace {

bool Same(const wire::Frame& a, const wire::Frame& b)
{
    return a.kind == b.kind && a.id == b.id && a.format == b.format && a.code == b.code && a.name == b.name &&
           a.data == b.data;
}

Bytes Encoded(const wire::Frame& f)
{
    const std::string s = wire::Encode(f);
    return Bytes(s.begin(), s.end());
}

}  // namespace

std::vector<Seed> Seeds()
{
    using wire::Kind;
    const std::vector<wire::Frame> frames = {
        {Kind::Connect, 1, 0, 0, "Korvanta #1", {}},
        {Kind::ConnectReply, 1, 0, 1, "", {}},
        {Kind::Poke, 2, 1, 0, "Quenda Applet", {'D', 'T', 'M', 'F', 0}},
        {Kind::Request, 3, 1, 0, "SignalStrength", {}},
        {Kind::AdviseStart, 4, 1, 0, "ScanState", {}},
        {Kind::Reply, 3, 1, 0x8000, "", {'4', '2'}},
        {Kind::AdviseData, 0, 1, 0, "Squelch", {'1'}},
        {Kind::AdviseAck, 0, 1, 0x8000, "Squelch", {}},
        {Kind::AdviseStop, 5, 1, 0, "ScanState", {}},
    };
    std::vector<Seed> seeds;
    Bytes all = {0};  // the first byte chooses the size of the pieces
    for (size_t i = 0; i < frames.size(); ++i) {
        Bytes one = {static_cast<uint8_t>(i * 7)};
        const Bytes f = Encoded(frames[i]);
        one.insert(one.end(), f.begin(), f.end());
        all.insert(all.end(), f.begin(), f.end());
        seeds.push_back({"frame" + std::to_string(i), one});
    }
    seeds.push_back({"conversation", all});
    return seeds;
}

void Run(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    const size_t piece = data[0] == 0 ? size : data[0];
    ++data;
    --size;

    wire::FrameReader reader;
    size_t frames = 0;
    for (size_t at = 0; at < size; at += piece) {
        reader.Append(reinterpret_cast<const char*>(data + at), std::min(piece, size - at));
        while (std::optional<wire::Frame> f = reader.Next()) {
            Check(!reader.Broken(), "a frame handed out by a broken reader");
            ++frames;
            Check(f->name.size() <= platform::dde::kMaxNameBytes && f->data.size() <= platform::dde::kMaxDataBytes,
                  "a frame beyond the bounds");
            const std::string encoded = wire::Encode(*f);
            Check(!encoded.empty(), "a frame read cannot be written");
            wire::FrameReader again;
            again.Append(encoded.data(), encoded.size());
            std::optional<wire::Frame> back = again.Next();
            Check(back && Same(*back, *f) && !again.Next() && !again.Broken(), "a frame reads back differently");
        }
        if (reader.Broken()) {
            reader.Append(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64));
            Check(!reader.Next(), "a broken reader recovered");
            break;
        }
    }
    Check(frames * wire::kHeaderBytes <= size, "more frames than the bytes hold");
}

}  // namespace fuzz
