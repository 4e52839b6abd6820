// SHA-256 against the FIPS 180-4 examples (NIST's test vectors), whole and in
// pieces that cross the 64-byte blocks and the padding's boundaries.
#include <gtest/gtest.h>

#include <string>

#include "format/sha256.h"

namespace {

using trv::format::Sha256;

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

struct Vector {
  std::string message;
  const char* digest;
};

// The one-block, two-block (448 bits: the length lands in a block of its
// own) and 896-bit messages, and the empty one.
const Vector kVectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {std::string(1'000'000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

} // namespace

TEST(Sha256, NistVectorsWholeAndInPiecesOfEverySize) {
  for (const Vector& v : kVectors) {
    Sha256 whole;
    whole.Update(Bytes(v.message));
    EXPECT_EQ(trv::format::HexDigest(whole.Finish()), v.digest) << v.message.size() << " bytes";
    // Pieces that leave every remainder in the pending block (sectors come in any size).
    for (std::size_t piece : {std::size_t{1}, std::size_t{55}, std::size_t{63}, std::size_t{64}, std::size_t{65}, std::size_t{4096}}) {
      Sha256 pieces;
      for (std::size_t at = 0; at < v.message.size(); at += piece)
        pieces.Update(Bytes(v.message.substr(at, piece)));
      EXPECT_EQ(trv::format::HexDigest(pieces.Finish()), v.digest) << v.message.size() << " bytes by " << piece;
    }
  }
  // Finish starts over: the next digest is of the next message alone.
  Sha256 reused;
  reused.Update(Bytes("garbage"));
  (void)reused.Finish();
  reused.Update(Bytes("abc"));
  EXPECT_EQ(trv::format::HexDigest(reused.Finish()), kVectors[1].digest);
}
