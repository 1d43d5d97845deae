// Encoding and decoding speed of the codec against protobuf on the same content, and the speed of
// a list of doubles against memcpy. Prints ns per message and the ratio codec / protobuf (medians).
//
// Bodies are measured without the message header, which protobuf has no counterpart of. Decoding
// is measured from memory (codec_decode), and through the path the connection's reader thread
// takes (codec_decode_pipe_path): ReaderInputBuffer over a BufferedReader, PipeReader's base,
// whose receives hand out the bytes 64 KiB at a time as the socket does, into a fresh message
// (codec_decode_pipe_path) and into the previous message (codec_decode_pipe_path_reused), as the
// connection's reader does once the receivers have released it. Protobuf parses from memory into
// a fresh message (protobuf_decode) and into one reused message (protobuf_decode_reused), its
// usual habit in a loop.
#include "MemoryInput.h"
#include "OrlexProtocol/codec/BufferedReader.h"
#include "OrlexProtocol/codec/ReaderInputBuffer.h"

#include "OrlexProtocol/codec/Serializers.h"
#include "OrlexProtocol/codec/StructIO.h"
#include "bench_messages.pb.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

using namespace Tavrin::Dremm::Orlex;
using namespace Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::Codec::Reader;
using Dremm::Orlex::Codec::Writer;

namespace
{

constexpr std::size_t kPoints = 100000;

// ---- The content, once for each side ------------------------------------------------------------

PositionData position(double x, double y, double z)
{
    PositionData p;
    p.X = x;
    p.Y = y;
    p.Z = z;
    return p;
}

PositionUpdateMessage positionUpdate()
{
    PositionUpdateMessage m;
    m.ObjectIds = {123};
    m.Positions = {position(652345.25, 6634512.5, -12.75)};
    return m;
}

orlexbench::PositionUpdate positionUpdateProto()
{
    orlexbench::PositionUpdate m;
    m.add_object_ids(123);
    auto* p = m.add_positions();
    p->set_x(652345.25);
    p->set_y(6634512.5);
    p->set_z(-12.75);
    return m;
}

SetCameraDataMessage camera()
{
    SetCameraDataMessage m;
    m.ViewerId = 1;
    m.TransitionTime.set(0.5);
    m.CameraData.Target.set(4711);
    m.CameraData.TargetPosition.set(position(652345.25, 6634512.5, -12.75));
    m.CameraData.TrackObject.set(4712);
    m.CameraData.CameraPosition.set(position(652100.0, 6634400.0, 350.0));
    RotationData& r = m.CameraData.Orientation.set();
    r.X = 0.1f;
    r.Y = 0.2f;
    r.Z = 0.3f;
    r.W = 0.9f;
    m.CameraData.FocalDistance.set(420.0);
    m.CameraData.ViewportHeight.set(300.0);
    m.CameraData.FieldOfView.set(45.0);
    return m;
}

void setPosition(orlexbench::PositionData* p, double x, double y, double z)
{
    p->set_x(x);
    p->set_y(y);
    p->set_z(z);
}

orlexbench::SetCameraData cameraProto()
{
    orlexbench::SetCameraData m;
    m.set_viewer_id(1);
    m.set_transition_time(0.5);
    auto* c = m.mutable_camera_data();
    c->set_target(4711);
    setPosition(c->mutable_target_position(), 652345.25, 6634512.5, -12.75);
    c->set_track_object(4712);
    setPosition(c->mutable_camera_position(), 652100.0, 6634400.0, 350.0);
    auto* r = c->mutable_orientation();
    r->set_x(0.1f);
    r->set_y(0.2f);
    r->set_z(0.3f);
    r->set_w(0.9f);
    c->set_focal_distance(420.0);
    c->set_viewport_height(300.0);
    c->set_field_of_view(45.0);
    return m;
}

constexpr int kStaticRanges = 8;

SetColorMapRangeMessage colorMapRange()
{
    SetColorMapRangeMessage m;
    m.Id = 200;
    ColorMapData& c = m.ColorMap;
    c.StartColor.R = 0.0f;
    c.EndColor.B = 0.25f;
    c.ClockWise = true;
    c.AutoRange = true;
    c.Range.Min = -120.0f;
    c.Range.Max = -5.0f;
    c.Wrap = 1;
    for (int i = 0; i < kStaticRanges; ++i) {
        StaticColorRange s;
        s.Color.R = 0.1f * float(i);
        s.Color.G = 0.05f * float(i);
        s.Range.Min = -120.0f + 10.0f * float(i);
        s.Range.Max = -110.0f + 10.0f * float(i);
        c.StaticColorRanges.push_back(s);
    }
    return m;
}

orlexbench::SetColorMapRange colorMapRangeProto()
{
    orlexbench::SetColorMapRange m;
    m.set_id(200);
    auto* c = m.mutable_color_map();
    c->mutable_start_color()->set_r(0.0f);
    c->mutable_end_color()->set_b(0.25f);
    c->set_clock_wise(true);
    c->set_auto_range(true);
    c->mutable_range()->set_min(-120.0f);
    c->mutable_range()->set_max(-5.0f);
    c->set_wrap(1);
    for (int i = 0; i < kStaticRanges; ++i) {
        auto* s = c->add_static_color_ranges();
        s->mutable_color()->set_r(0.1f * float(i));
        s->mutable_color()->set_g(0.05f * float(i));
        s->mutable_range()->set_min(-120.0f + 10.0f * float(i));
        s->mutable_range()->set_max(-110.0f + 10.0f * float(i));
    }
    return m;
}

std::map<std::string, std::string> configurationEntries()
{
    std::map<std::string, std::string> entries;
    const char* keys[] = {"NotifyMouseMove", "BackgroundColor", "LightDirection", "ShowDepthUnderCursor",
                          "ShowPositionUnderCursor", "CameraMode", "AmbientLight", "Exaggeration",
                          "GridVisible", "LabelScale", "MeasureUnits", "PickTolerance", "ShadowMode",
                          "SkyBox", "Smoothing", "TerrainLod", "TextSize", "TileCache", "VSync", "ZoomSpeed"};
    int i = 0;
    for (const char* key : keys)
        entries[key] = (i++ % 2) ? "true" : "0.75,0.80,0.85";
    return entries;
}

UpdateConfigurationMessage configuration()
{
    UpdateConfigurationMessage m;
    m.ViewerId = 1;
    m.Configuration = configurationEntries();
    return m;
}

orlexbench::UpdateConfiguration configurationProto()
{
    orlexbench::UpdateConfiguration m;
    m.set_viewer_id(1);
    for (const auto& [key, value] : configurationEntries())
        (*m.mutable_configuration())[key] = value;
    return m;
}

std::vector<double> points()
{
    std::vector<double> values(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i)
        values[i] = 650000.0 + double(i) * 0.37;
    return values;
}

AddToPointBufferMessage pointBuffer()
{
    AddToPointBufferMessage m;
    m.Id = 300;
    m.Positions = points();
    return m;
}

orlexbench::AddToPointBuffer pointBufferProto()
{
    orlexbench::AddToPointBuffer m;
    m.set_id(300);
    for (double v : points())
        m.add_positions(v);
    return m;
}

// ---- The measurements ---------------------------------------------------------------------------

template <typename T>
std::string encodeCodec(const T& value)
{
    bond::OutputBuffer buffer;
    Writer writer(buffer);
    Dremm::Orlex::Codec::serialize(writer, value);
    return buffer.toString();
}

template <typename T>
void codecEncode(benchmark::State& state, T (*make)())
{
    const T value = make();
    std::size_t bytes = 0;
    for (auto _ : state) {
        bond::OutputBuffer buffer;
        Writer writer(buffer);
        Dremm::Orlex::Codec::serialize(writer, value);
        benchmark::DoNotOptimize(buffer.data());
        bytes = buffer.size();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
    state.counters["bytes"] = double(bytes);
}

template <typename T>
void codecDecode(benchmark::State& state, T (*make)())
{
    const std::string encoded = encodeCodec(make());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(encoded.data());
    for (auto _ : state) {
        bond::CompactBinaryReader<codectest::MemoryInput> reader(codectest::MemoryInput(bytes, encoded.size()));
        T value;
        Dremm::Orlex::Codec::detail::readStruct(reader, value);
        benchmark::DoNotOptimize(&value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * encoded.size()));
}

// Bytes in memory, handed out as the socket hands them to PipeReader: at most 64 KiB a receive.
class MemoryPipe : public Dremm::Orlex::QtClient::BufferedReader
{
public:
    explicit MemoryPipe(const std::string& bytes)
        : m_data(reinterpret_cast<const std::uint8_t*>(bytes.data())), m_size(bytes.size())
    {
    }
    void rewind() { m_pos = 0; }
    bool isValid() const override { return true; }
    bool atEnd() const override { return false; }

protected:
    Window receive() override
    {
        if (m_pos == m_size)
            throw std::runtime_error("end of input");
        const std::size_t n = std::min<std::size_t>(m_size - m_pos, 64 * 1024);
        const Window w{m_data + m_pos, m_data + m_pos + n};
        m_pos += n;
        return w;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

template <typename T>
void codecDecodePipePath(benchmark::State& state, T (*make)())
{
    const std::string encoded = encodeCodec(make());
    auto memory = std::make_shared<MemoryPipe>(encoded);
    // One reader for the stream, as the connection's reader thread keeps it.
    Reader reader{Dremm::Orlex::QtClient::ReaderInputBuffer(memory)};
    for (auto _ : state) {
        memory->rewind();
        T value;
        Dremm::Orlex::Codec::deserialize(reader, value);
        benchmark::DoNotOptimize(&value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * encoded.size()));
}

template <typename T>
void codecDecodePipePathReused(benchmark::State& state, T (*make)())
{
    const std::string encoded = encodeCodec(make());
    auto memory = std::make_shared<MemoryPipe>(encoded);
    Reader reader{Dremm::Orlex::QtClient::ReaderInputBuffer(memory)};
    T value;
    for (auto _ : state) {
        memory->rewind();
        Dremm::Orlex::Codec::deserializeReusing(reader, value);
        benchmark::DoNotOptimize(&value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * encoded.size()));
}

template <typename P>
void protobufEncode(benchmark::State& state, P (*make)())
{
    const P value = make();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        value.SerializeToString(&out);
        benchmark::DoNotOptimize(out.data());
        bytes = out.size();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
    state.counters["bytes"] = double(bytes);
}

template <typename P>
void protobufDecode(benchmark::State& state, P (*make)())
{
    const std::string encoded = make().SerializeAsString();
    for (auto _ : state) {
        P value;
        if (!value.ParseFromArray(encoded.data(), int(encoded.size())))
            state.SkipWithError("protobuf parse failed");
        benchmark::DoNotOptimize(&value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * encoded.size()));
}

template <typename P>
void protobufDecodeReused(benchmark::State& state, P (*make)())
{
    const std::string encoded = make().SerializeAsString();
    P value;
    for (auto _ : state) {
        if (!value.ParseFromArray(encoded.data(), int(encoded.size())))
            state.SkipWithError("protobuf parse failed");
        benchmark::DoNotOptimize(&value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * encoded.size()));
}

void memcpyPoints(benchmark::State& state)
{
    const std::vector<double> source = points();
    std::vector<double> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size() * sizeof(double));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * source.size() * sizeof(double)));
}

// The floor of reading the list: its bytes copied from where they sit in the encoded message (the
// same alignment the reader sees) into a list kept from the run before.
void memcpyPointsFromWire(benchmark::State& state)
{
    const std::string encoded = encodeCodec(pointBuffer());
    const std::vector<double> values = points();
    const std::size_t bytes = values.size() * sizeof(double);
    const auto* list = static_cast<const char*>(::memmem(encoded.data(), encoded.size(), values.data(), bytes));
    if (!list) {
        state.SkipWithError("list not found in the encoded message");
        return;
    }
    std::vector<double> target(values.size());
    for (auto _ : state) {
        target.clear();
        target.insert(target.end(), reinterpret_cast<const double*>(list), reinterpret_cast<const double*>(list) + values.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
    state.counters["offset_mod_64"] = double(reinterpret_cast<std::uintptr_t>(list) % 64);
}

struct Pair
{
    const char* name;
    void (*codecEncode)(benchmark::State&);
    void (*codecDecode)(benchmark::State&);
    void (*protobufEncode)(benchmark::State&);
    void (*protobufDecode)(benchmark::State&);
    void (*codecDecodePipePath)(benchmark::State&);
    void (*protobufDecodeReused)(benchmark::State&);
    void (*codecDecodePipePathReused)(benchmark::State&);
};

#define CORV_PAIR(name, make, makeProto)                                                              \
    {                                                                                                \
        name, [](benchmark::State& s) { codecEncode(s, make); }, [](benchmark::State& s) { codecDecode(s, make); }, \
            [](benchmark::State& s) { protobufEncode(s, makeProto); },                               \
            [](benchmark::State& s) { protobufDecode(s, makeProto); },                               \
            [](benchmark::State& s) { codecDecodePipePath(s, make); },                               \
            [](benchmark::State& s) { protobufDecodeReused(s, makeProto); },                         \
            [](benchmark::State& s) { codecDecodePipePathReused(s, make); }                          \
    }

const Pair kPairs[] = {
    CORV_PAIR("PositionUpdate", positionUpdate, positionUpdateProto),
    CORV_PAIR("SetCameraData", camera, cameraProto),
    CORV_PAIR("SetColorMapRange", colorMapRange, colorMapRangeProto),
    CORV_PAIR("UpdateConfiguration20", configuration, configurationProto),
    CORV_PAIR("AddToPointBuffer100k", pointBuffer, pointBufferProto),
};

// Keeps the median of each run by name, for the closing table.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                m_ns[run.run_name.function_name] = run.GetAdjustedCPUTime();
                auto bytes = run.counters.find("bytes_per_second");
                if (bytes != run.counters.end())
                    m_bytesPerSecond[run.run_name.function_name] = bytes->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_ns;
    std::map<std::string, double> m_bytesPerSecond;
};

} // namespace

int main(int argc, char** argv)
{
    auto add = [](const std::string& name, void (*run)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name.c_str(), run)->Repetitions(5)->ReportAggregatesOnly(true);
    };
    for (const Pair& p : kPairs) {
        const std::string n = p.name;
        add("codec_encode/" + n, p.codecEncode);
        add("protobuf_encode/" + n, p.protobufEncode);
        add("codec_decode/" + n, p.codecDecode);
        add("protobuf_decode/" + n, p.protobufDecode);
        add("codec_decode_pipe_path/" + n, p.codecDecodePipePath);
        add("codec_decode_pipe_path_reused/" + n, p.codecDecodePipePathReused);
        add("protobuf_decode_reused/" + n, p.protobufDecodeReused);
    }
    add("memcpy/AddToPointBuffer100k", memcpyPoints);
    add("memcpy_from_wire/AddToPointBuffer100k", memcpyPointsFromWire);

    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Ratios pipe path / protobuf: fresh and reused on both sides, fresh against reused and back.
    std::printf("\n%-22s %9s %9s %6s %9s %9s %9s %9s %9s %6s %6s %6s %6s\n", "median CPU ns/message", "codec enc",
                "proto enc", "ratio", "codec mem", "pipe frsh", "pipe reus", "pb fresh", "pb reused", "ff", "fr", "rf",
                "rr");
    for (const Pair& p : kPairs) {
        const std::string n = p.name;
        auto ns = [&](const std::string& key) {
            auto it = reporter.m_ns.find(key + "/" + n);
            return it == reporter.m_ns.end() ? 0.0 : it->second;
        };
        const double ce = ns("codec_encode"), pe = ns("protobuf_encode"), cd = ns("codec_decode");
        const double pf = ns("codec_decode_pipe_path"), pu = ns("codec_decode_pipe_path_reused");
        const double pd = ns("protobuf_decode"), pr = ns("protobuf_decode_reused");
        auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        std::printf("%-22s %9.1f %9.1f %6.2f %9.1f %9.1f %9.1f %9.1f %9.1f %6.2f %6.2f %6.2f %6.2f\n", p.name, ce, pe,
                    ratio(ce, pe), cd, pf, pu, pd, pr, ratio(pf, pd), ratio(pf, pr), ratio(pu, pd), ratio(pu, pr));
    }
    auto rate = [&](const std::string& key) {
        auto it = reporter.m_bytesPerSecond.find(key);
        return it == reporter.m_bytesPerSecond.end() ? 0.0 : it->second / 1e9;
    };
    const double copy = rate("memcpy/AddToPointBuffer100k");
    const double enc = rate("codec_encode/AddToPointBuffer100k");
    const double dec = rate("codec_decode/AddToPointBuffer100k");
    std::printf("\nlist of %zu doubles, GB/s: memcpy %.2f, codec encode %.2f (%.0f%%), codec decode %.2f (%.0f%%)\n", kPoints,
                copy, enc, copy > 0 ? 100 * enc / copy : 0.0, dec, copy > 0 ? 100 * dec / copy : 0.0);
    const double wire = rate("memcpy_from_wire/AddToPointBuffer100k");
    const double reused = rate("codec_decode_pipe_path_reused/AddToPointBuffer100k");
    std::printf("into a reused list on the pipe path, GB/s: %.2f; time against memcpy %.2f, against memcpy from "
                "the message's bytes %.2f\n",
                reused, reused > 0 ? copy / reused : 0.0, reused > 0 ? wire / reused : 0.0);
    benchmark::Shutdown();
    return 0;
}
