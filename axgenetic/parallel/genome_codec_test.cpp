#include "axgenetic/parallel/genome_codec.hpp"

#include <gtest/gtest.h>

#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

TEST(GenomeCodec, GAChromosomesTravelAsSizedWords) {
    RandSeed(11);
    TAxGeneticAlgorithm From, To;
    TAxGAIndividual* Source = From.Population()->Add();
    TAxGAIndividual* Target = To.Population()->Add();
    TAxGAGenomeCodec Codec;
    std::vector<std::byte> Buffer;
    for (const int Size : {0, 1, 63, 64, 65, 200}) {
        SCOPED_TRACE(Size);
        Source->Bits().SetSize(Size);
        Source->Bits().Randomize();
        Target->Bits().SetSize(7);
        Target->Fitness();
        Buffer.clear();
        TAxGenomeWriter Writer(Buffer);
        Codec.Encode(*Source, Writer);
        EXPECT_EQ(Buffer.size(), 4 + 8 * static_cast<std::size_t>((Size + 63) / 64));
        TAxGenomeReader Reader(Buffer);
        Codec.Decode(Reader, *Target);
        EXPECT_TRUE(Reader.AtEnd());
        EXPECT_TRUE(Target->Bits().Equals(Source->Bits()));
        EXPECT_TRUE(Target->NeedFitness());
    }
}

TEST(GenomeCodec, BadDataIsRejectedBeforeAnythingChanges) {
    TAxGeneticAlgorithm GA;
    TAxGAIndividual* Target = GA.Population()->Add();
    Target->Bits().SetSize(3);
    TAxGAGenomeCodec Codec;
    auto Bytes = [](std::initializer_list<unsigned char> List) {
        std::vector<std::byte> Result;
        for (const unsigned char B : List)
            Result.push_back(static_cast<std::byte>(B));
        return Result;
    };
    const std::vector<std::vector<std::byte>> Cases = {
        Bytes({}),                                    // no size
        Bytes({1, 0}),                                // a cut size
        Bytes({0xff, 0xff, 0xff, 0xff}),              // a negative size
        Bytes({0xff, 0xff, 0xff, 0x7f, 1, 2, 3, 4}),  // 2^31 - 1 bits announced, 4 bytes given
        Bytes({65, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}), // 65 bits need two words
    };
    for (const auto& Data : Cases) {
        TAxGenomeReader Reader(Data);
        try {
            Codec.Decode(Reader, *Target);
            ADD_FAILURE() << "accepted " << Data.size() << " bytes";
        } catch (const EGAException& E) {
            EXPECT_STREQ(E.what(), std::string(SMalformedGenome).c_str());
        }
        EXPECT_EQ(Target->Bits().Size(), 3);
    }
}

// A codec for one kind of individual refuses another.
TEST(GenomeCodec, RefusesAnotherKindOfIndividual) {
    TAxGAGenomeCodec Codec;
    TAxCustomGeneticComponent Plain;
    TAxIndividual* Other = Plain.Population()->Add();
    std::vector<std::byte> Buffer;
    TAxGenomeWriter Writer(Buffer);
    try {
        Codec.Encode(*Other, Writer);
        ADD_FAILURE() << "encoded a base individual";
    } catch (const EGAException& E) {
        EXPECT_STREQ(E.what(), "The genome codec cannot handle a TAxIndividual");
    }
}

TEST(GenomeCodec, ReaderReadsBackEveryWrittenField) {
    std::vector<std::byte> Buffer;
    TAxGenomeWriter Writer(Buffer);
    const std::size_t Slot = Writer.ReserveUInt32();
    Writer.WriteInt32(-5);
    Writer.WriteUInt64(0x0123456789abcdefull);
    Writer.WriteDouble(-0.1);
    Writer.WriteString("chunk");
    Writer.PatchUInt32(Slot, 42);
    EXPECT_EQ(static_cast<unsigned>(Buffer[0]), 42u); // little-endian on every host
    TAxGenomeReader Reader(Buffer);
    EXPECT_EQ(Reader.ReadUInt32(), 42u);
    EXPECT_EQ(Reader.ReadInt32(), -5);
    EXPECT_EQ(Reader.ReadUInt64(), 0x0123456789abcdefull);
    EXPECT_EQ(Reader.ReadDouble(), -0.1);
    EXPECT_EQ(Reader.ReadString(), "chunk");
    EXPECT_TRUE(Reader.AtEnd());
    EXPECT_THROW(Reader.ReadUInt32(), EGAException);
}

} // namespace
} // namespace ax
