// Every buffer that held a secret is wiped: after a command no password,
// typed, read from the key or drawn, is in a block it freed (every block the
// program frees is searched first), and the buffers of its own stack that
// held one were wiped (every wipe is recorded: this program's WipeBytes).
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "cli_fixture.h"
#include "wipe_bytes.h"

namespace {

constexpr std::size_t kMostSecrets = 4;
const std::vector<std::string>* watched = nullptr;  // the secrets looked for
std::array<bool, kMostSecrets> freedHolding{};      // each, found in a freed block
std::array<bool, kMostSecrets> wipedOnStack{};      // each, in a buffer of the stack wiped

bool Holds(const void* bytes, std::size_t size, const std::string& secret) {
    return memmem(bytes, size, secret.data(), secret.size()) != nullptr;
}

void Search(const void* bytes, std::size_t size, std::array<bool, kMostSecrets>& found) {
    if (!watched || !bytes) return;
    for (std::size_t i = 0; i < watched->size(); ++i)
        found[i] = found[i] || Holds(bytes, size, (*watched)[i]);
}

const char* stackTop = nullptr;  // the test's frame: the command's stack lies below it

bool OnTheStack(const void* bytes) {
    return bytes < stackTop && bytes > stackTop - (1 << 20);
}

// The key password typed (UTF-8: only the typed line holds it so) and as
// the key takes it, the login password as shown and in hex, the random
// pool, and the key password drawn from it (100 + i is character 44 + i).
const std::string kTyped = "Kp-한글", kConverted = "Kp-\xC7\xD1\xB1\xDB";
const std::string kLogin = "Lg#9wV$e-x", kLoginHex = "4c672339775624652d78";
const std::string kPool = "defghijklmnopqrstuvwxyz{|}~\x7f\x80\x81\x82\x83", kDrawn = "wxyz2345678";

struct SecretCase {
    const char* name;
    bool factoryInitial;
    std::vector<const char*> arguments;
    std::vector<std::string> typed;
    std::vector<std::string> secrets;  // in no freed block
    std::size_t onStack;               // the first ones, each in a buffer of the stack wiped
    std::string shown;                 // the secret the output shows
};

class WipedSecretsTest : public CliTest, public ::testing::WithParamInterface<SecretCase> {};

TEST_P(WipedSecretsTest, NoCopyIsLeftBehind) {
    const SecretCase& c = GetParam();
    if (c.factoryInitial)
        Fresh(kSerialA);
    else
        InUse(kSerialA, kConverted, "demo-user", kLogin);
    for (char byte : kPool) term::Console().random.push_back(static_cast<std::uint8_t>(byte));
    Type(c.typed);
    const char top = 0;
    stackTop = &top;
    freedHolding = wipedOnStack = {};
    watched = &c.secrets;
    EXPECT_EQ(0, Run(c.arguments)) << Err();
    watched = nullptr;
    EXPECT_TRUE(Has(Out(), c.shown)) << Out();
    for (std::size_t i = 0; i < c.secrets.size(); ++i) {
        EXPECT_FALSE(freedHolding[i]) << "freed: secret " << i;
        if (i < c.onStack) EXPECT_TRUE(wipedOnStack[i]) << "not wiped: secret " << i;
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Commands, WipedSecretsTest,
    ::testing::Values(
        SecretCase{"ShowLoginPassword", false, {"show-login-password"}, {kTyped},
                   {kTyped, kLogin, kConverted}, 2, kLogin},
        SecretCase{"ShowLoginPasswordAsJson", false, {"show-login-password", "--json"}, {kTyped},
                   {kTyped, kLogin, kConverted, kLoginHex}, 2, kLoginHex},
        SecretCase{"SetKeyPassword", false, {"set-key-password"}, {kTyped, "Nw&3rT^y", "Nw&3rT^y"},
                   {kTyped, kConverted, "Nw&3rT^y"}, 1, ""},
        SecretCase{"RandomKeyPassword", true, {"init", "--each", "--random", "--count", "1"}, {},
                   {kPool, kDrawn}, 2, kDrawn},
        SecretCase{"RandomKeyPasswordAsJson", true,
                   {"init", "--each", "--random", "--count", "1", "--json"}, {},
                   {kPool, kDrawn}, 2, kDrawn}),
    [](const auto& info) { return info.param.name; });
// clang-format on

}  // namespace

void WipeBytes(void* data, std::size_t size) {
    if (watched && OnTheStack(data)) Search(data, size, wipedOnStack);
    volatile auto* byte = static_cast<unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) byte[i] = 0;
}

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    if (block) Search(block, malloc_usable_size(block), freedHolding);
    std::free(block);
}

void operator delete(void* block, std::size_t size) noexcept {
    Search(block, size, freedHolding);
    std::free(block);
}
