// libFuzzer target for the incoming side of the codec.
//
// Input: the first byte chooses what the rest is. 0: a stream of messages as the reader thread
// reads them (header, then the body of the struct it names, until a name has no struct or the
// bytes end). n > 0: the body of the (n-1)-th struct the program receives.
//
// Every struct read without error is written, read back and written again; both writings must be
// equal. Reading must fail only with the codec's own exceptions or at the end of the input.
// The bytes are read three times, value by value (a reader without a window), from windows of a few
// bytes each (the rest of the first byte chooses how many), and from those windows into objects
// kept from earlier inputs, as the connection's reader reuses a released message; all three must
// read the same structs and end the same way.
//
// With ORLEX_FUZZ_SEED_DIR set, the golden vectors below are written there as seed files first.
#include "MemoryReader.h"

#include "OrlexProtocol/Structs.h"
#include "OrlexProtocol/codec/StructCodec.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Dremm::Orlex;

namespace
{

std::vector<const Schema::StructDef*> receivedStructs()
{
    std::vector<const Schema::StructDef*> defs;
    for (const Schema::StructDef& def : Schema::allStructs()) {
        if (def.direction == Schema::Direction::Received || def.direction == Schema::Direction::SentAndReceived
            || def.direction == Schema::Direction::Header)
            defs.push_back(&def);
    }
    return defs;
}

const std::vector<const Schema::StructDef*>& targets()
{
    static const std::vector<const Schema::StructDef*> defs = receivedStructs();
    return defs;
}

using Object = std::unique_ptr<void, void (*)(void*)>;

std::string bytesOf(const Schema::StructDef& def, const void* object)
{
    bond::OutputBuffer buffer;
    Codec::Writer writer(buffer);
    Codec::writeStruct(writer, def, object, false);
    return buffer.toString();
}

// What was read must survive a round trip through the writer unchanged.
void checkRoundTrip(const Schema::StructDef& def, const void* object)
{
    const std::string first = bytesOf(def, object);
    codectest::Input in(std::vector<std::uint8_t>(first.begin(), first.end()));
    Codec::Reader reader(in.buffer);
    Object again(def.create(), def.destroy);
    Codec::readStruct(reader, def, again.get());
    if (in.memory->remaining() != 0 || bytesOf(def, again.get()) != first) {
        std::fprintf(stderr, "round trip of %s changed the bytes\n", std::string(def.metadata.qualified_name).c_str());
        std::abort();
    }
}

// One object per struct, holding what the last input read into it (or left half read).
void* reusedObject(const Schema::StructDef& def)
{
    static std::map<const Schema::StructDef*, Object> objects;
    auto it = objects.find(&def);
    if (it == objects.end())
        it = objects.emplace(&def, Object(def.create(), def.destroy)).first;
    return it->second.get();
}

void readOne(Codec::Reader& reader, const Schema::StructDef& def, bool reuse, std::string& read)
{
    if (reuse) {
        void* object = reusedObject(def);
        Codec::readStructReusing(reader, def, object);
        read += bytesOf(def, object) + "|";
        return;
    }
    Object object(def.create(), def.destroy);
    Codec::readStruct(reader, def, object.get());
    checkRoundTrip(def, object.get());
    read += bytesOf(def, object.get()) + "|";
}

template <typename More>
void readStream(Codec::Reader& reader, More more, bool reuse, std::string& read)
{
    const Schema::StructDef& headerDef = Schema::structDef<Tavrin::Dremm::Orlex::MessageHeader>();
    Tavrin::Dremm::Orlex::MessageHeader header;
    while (more()) {
        if (reuse) {
            Codec::readStructReusing(reader, headerDef, &header);
        } else {
            header = {};
            Codec::readStruct(reader, headerDef, &header);
        }
        const Schema::StructDef* body = nullptr;
        for (const Schema::StructDef* def : targets())
            if (def->metadata.qualified_name == header.Type && def != &headerDef)
                body = def;
        if (!body)
            return;
        readOne(reader, *body, reuse, read);
    }
}

struct Seed
{
    const char* structName; // empty: a stream of messages
    const char* hex;
};

// The golden vectors of the reader tests, and a few streams.
const Seed kSeeds[] = {
    {"", "09 24 54 61 76 72 69 6E 2E 44 72 65 6D 6D 2E 4F 72 6C 65 78 2E 54 65 72 6D 69 6E 61 74 65 64 4D 65 73 73 61 "
         "67 65 00 01 10 0E 00"},
    {"", "09 1F 54 61 76 72 69 6E 2E 44 72 65 6D 6D 2E 4F 72 6C 65 78 2E 45 72 72 6F 72 4D 65 73 73 61 67 65 00 "
         "01 09 01 45 30 0E 42 01 6B 10 01 04 8B 06 01 2A 00"},
    {"Tavrin.Dremm.Orlex.MessageHeader", "09 01 41 30 0E 00"},
    {"Tavrin.Dremm.Orlex.TerminatedMessage", "01 01 10 0E 00"},
    {"Tavrin.Dremm.Orlex.ViewerCreatedMessage", "01 01 00"},
    {"Tavrin.Dremm.Orlex.ErrorMessage", "01 F0 01 00 0E 2E FF 13 D0 09 0E 00"},
    {"Tavrin.Dremm.Orlex.ObjectPickedMessage", "01 01 0B 06 02 65 66 2B 0A 01 08 00 00 00 00 00 00 F0 3F 00 00"},
    {"Tavrin.Dremm.Orlex.ListObjectsResponseMessage", "01 01 2B 06 02 65 66 00"},
    {"Tavrin.Dremm.Orlex.QueryTerrainColorsResponseMessage", "01 01 2B 03 03 01 02 FF 00"},
    {"Tavrin.Dremm.Orlex.QueryTerrainElevationsResponseMessage", "01 01 2B 07 02 00 00 C0 3F 00 00 20 C0 50 04 00"},
    {"Tavrin.Dremm.Orlex.ShowContextMenuMessage", "01 01 2B 0E 01 FF 00"},
    {"Tavrin.Dremm.Orlex.QueryInteractionActionsResponseMessage",
     "01 01 2B 0A 02 09 01 41 01 30 02 00 09 01 42 01 50 04 00 00"},
    {"Tavrin.Dremm.Orlex.MeasurementMessage", "01 10 02 01 06 65 2B 06 01 66 6B 0A 01 08 00 00 00 00 00 00 F0 3F 00 82 01 00"},
    {"Tavrin.Dremm.Orlex.RasterCreatedMessage", "01 06 05 01 0A 0B 0A 01 08 00 00 00 00 00 00 F0 3F 00 49 01 4B 00 00"},
    {"Tavrin.Dremm.Orlex.QueryNavigationStateResponseMessage",
     "01 01 4A 0B 06 01 07 8B 0A 01 67 00 00 00 3F 00 AB 07 01 00 00 80 3F 00 00"},
    {"Tavrin.Dremm.Orlex.QueryProjectedCoordinatesResponseMessage", "01 01 0A 01 01 00 00"},
    {"Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage", "01 06 05 2A 07 00 00 48 C1 27 00 00 40 40 00 00"},
    {"Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyStaticMetaInfoMessage",
     "01 06 07 AB 09 02 01 41 00 CB 06 09 01 01 42 00"},
    {"Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyPropertyRangeUpdatedMessage", "01 49 01 50 2A 07 00 00 80 3F 00 06 05 00"},
};

void writeSeeds(const char* folder)
{
    int n = 0;
    for (const Seed& seed : kSeeds) {
        std::vector<std::uint8_t> bytes = codectest::hexBytes(seed.hex);
        std::uint8_t selector = 0;
        if (*seed.structName) {
            const auto& defs = targets();
            for (std::size_t i = 0; i < defs.size(); ++i)
                if (defs[i]->metadata.qualified_name == seed.structName)
                    selector = static_cast<std::uint8_t>(i + 1);
            if (selector == 0) {
                std::fprintf(stderr, "seed for unknown struct %s\n", seed.structName);
                std::abort();
            }
        }
        bytes.insert(bytes.begin(), selector);
        std::ofstream out(std::string(folder) + "/golden-" + std::to_string(n++), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
}

// The bytes of every struct read, then how reading ended.
std::string outcome(std::size_t selector, std::shared_ptr<QtClient::IReader> source, std::size_t size, bool reuse = false)
{
    Codec::Reader reader{QtClient::ReaderInputBuffer(source)};
    auto* buffered = dynamic_cast<QtClient::BufferedReader*>(source.get());
    auto* memory = dynamic_cast<codectest::MemoryReader*>(source.get());
    auto more = [&] { return buffered ? buffered->consumed() < size : memory->remaining() != 0; };
    std::string read;
    try {
        if (selector == 0)
            readStream(reader, more, reuse, read);
        else
            readOne(reader, *targets()[selector - 1], reuse, read);
        return read + "done";
    } catch (const bond::CoreException& e) {
        return read + e.what();
    } catch (const std::overflow_error& e) {
        return read + e.what();
    } catch (const std::runtime_error& e) {
        if (std::string(e.what()) != "end of input")
            throw;
        return read + e.what();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* folder = std::getenv("ORLEX_FUZZ_SEED_DIR"))
        writeSeeds(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t choices = targets().size() + 1;
    const std::size_t selector = data[0] % choices;
    const std::size_t piece = 1 + data[0] / choices % 16;
    const std::string byValue = outcome(selector, std::make_shared<codectest::MemoryReader>(data + 1, size - 1), size - 1);
    const std::string byWindow = outcome(
        selector, std::make_shared<codectest::PieceReader>(std::string(data + 1, data + size), piece), size - 1);
    const std::string reused = outcome(
        selector, std::make_shared<codectest::PieceReader>(std::string(data + 1, data + size), piece), size - 1, true);
    if (byValue != byWindow || reused != byWindow) {
        std::fprintf(stderr, "read value by value: %s\nread from windows of %zu: %s\ninto reused objects: %s\n",
                     codectest::toHex(byValue).c_str(), piece, codectest::toHex(byWindow).c_str(),
                     codectest::toHex(reused).c_str());
        std::abort();
    }
    return 0;
}
