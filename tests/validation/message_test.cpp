// A message's text and the arguments it is given are checked when they compile.
// Each TAVEX_MISUSE_* block below is compiled on its own and must not compile
// (tests/CMakeLists.txt); the rest is the control that must.
#include "cotepe/message.h"

#include <gtest/gtest.h>

#include <string>

#include "validation/finding.h"
#include "validation/messages.h"
#include "validation/validation_run.h"

namespace tavex {
namespace {

using detail::conversionsTake;

static_assert(conversionsTake<int, int>("Linha %d: E%02.2d -> x\n"));
static_assert(conversionsTake<int, const char*, int>("Linha %d: (%.15s) CRZ:% 06.6d\n"));
static_assert(conversionsTake<long long, unsigned>("%lld %u"));
static_assert(conversionsTake<>("100%% sem conversão"));
static_assert(!conversionsTake<int>("%s"));
static_assert(!conversionsTake<int>("%d %d"));
static_assert(!conversionsTake<int, int>("%d"));
static_assert(!conversionsTake<long>("%d"));
static_assert(!conversionsTake<>("%f"));
static_assert(!conversionsTake<int>("%"));

static_assert(PassesAs<int&, int> && PassesAs<const int&, int>);
static_assert(PassesAs<char*, const char*> && PassesAs<const char (&)[3], const char*>);
static_assert(!PassesAs<long, int> && !PassesAs<unsigned, int> && !PassesAs<bool, int>);
static_assert(!PassesAs<std::string, const char*> && !PassesAs<std::nullptr_t, const char*>);

// The code of a finding follows the message constant, not its text: two messages
// with the same wording stay apart, and both reach their own code.
TEST(TypedMessage, FindingCodeFollowsTheConstant) {
  EXPECT_EQ(findingCodeOf(msg::kUnknownRecordType.text), "registro.tipo_desconhecido");
  EXPECT_EQ(findingCodeOf(msg::kOutOfOrderMf.text), "estrutura.ordem");
  const char* const sameText = msg::kUnknownRecordType.text;
  EXPECT_NE(findingCodeOf(sameText), "registro.tipo_desconhecido");
}

#ifdef TAVEX_MISUSE_TEXT
constexpr Message<int> kWrong = "Linha %s\n";
#endif
#ifdef TAVEX_MISUSE_ARGUMENT
void misuse(ValidationRun& run) { run.reportError(msg::kUnknownRecordType, at(1, 0), std::string("1")); }
#endif
#ifdef TAVEX_MISUSE_COUNT
void misuse(ValidationRun& run) { run.reportError(msg::kRecordLength, at(1, 1), 1, 1); }
#endif
#ifdef TAVEX_MISUSE_WIDTH
void misuse(ValidationRun& run) { run.reportWarning(msg::kUnknownRecordType, at(1, 0), 1L); }
#endif

}  // namespace
}  // namespace tavex
