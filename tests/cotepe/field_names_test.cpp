// Named fields: the database columns live in the layout rows, and the names are
// checked when they compile. Each TAVEX_MISUSE_* block below is compiled on its own
// by a test of tests/CMakeLists.txt that expects the compiler to refuse it; this
// file without them is the control that must compile.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "cotepe/record_builder.h"
#include "cotepe/record_layout.h"
#include "validation/record_check.h"

namespace tavex {
namespace {

TEST(FieldNames, EveryDatabaseColumnIsNamedOncePerTable) {
  for (const RecordLayout& layout : allLayouts()) {
    std::set<std::string, std::less<>> seen;
    for (const FieldLayout& field : layout.fields) {
      EXPECT_FALSE(field.dbColumn.empty()) << layout.tag << " field " << field.number;
      // SQLite compares column names without case.
      std::string lower(field.dbColumn);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_TRUE(seen.insert(lower).second) << layout.tag << " repeats " << field.dbColumn;
    }
  }
}

TEST(FieldNames, ReadTheFieldsOfTheirOwnRecordEvenOnAShortLine) {
  const std::string e16 = makeRecord(16, {{"COO", "123"}, {"CRZ", "7"}, {"DENOMINACAO", "RZ"}, {"DATA_FINAL", "20240131"}});
  EXPECT_EQ(fieldOf(e16, E16::Coo), "000123");
  EXPECT_EQ(fieldOf(e16, E16::Crz), "000007");
  EXPECT_EQ(fieldOf(e16, E16::Denominacao), "RZ");
  EXPECT_EQ(fieldOf(e16.substr(0, 80), E16::DataFinal), "2024");
  EXPECT_EQ(fieldOf(e16.substr(0, 40), E16::Crz), "");

  const FieldsOf<E16> f(e16);
  EXPECT_EQ(f.asInt(E16::Crz), 7);
  const RecordFields& any = f;  // what every document check reads
  EXPECT_EQ(any[Common::Modelo], fieldOf(e16, E16::Modelo));
  EXPECT_TRUE(f.isBlankOrZero(E16::Gnf));
  EXPECT_FALSE(f.isBlankOrZero(E16::Coo));

  const std::string ead = "EAD" + std::string(256, '0');
  EXPECT_EQ(fieldLayout(Ead::Assinatura).width, 256);
  EXPECT_TRUE(FieldsOf<Ead>(ead).isBlankOrZero(Ead::Assinatura));
}

#ifdef TAVEX_MISUSE_OTHER_RECORD
void misuse(const FieldsOf<E15>& f) { (void)f[E14::Coo]; }
#endif
#ifdef TAVEX_MISUSE_NUMBER
void misuse(const FieldsOf<E15>& f) { (void)f[6]; }
#endif
#ifdef TAVEX_MISUSE_BEYOND_LAYOUT
void misuse(const FieldsOf<E07>& f) { (void)f[static_cast<E07>(7)]; }
#endif
#ifdef TAVEX_MISUSE_ROW_ORDER
constexpr auto kRows = layoutRows<Ead>({{Ead::Assinatura, "assinatura", "assinatura", 1, 3},
                                        {Ead::TipoRegistro, "TIPO_REG", "registro", 4, 256}});
#endif
#ifdef TAVEX_MISUSE_ROW_GAP
constexpr auto kRows = layoutRows<Ead>({{Ead::TipoRegistro, "TIPO_REG", "registro", 1, 3},
                                        {Ead::Assinatura, "assinatura", "assinatura", 5, 256}});
#endif
#ifdef TAVEX_MISUSE_ROW_MISSING
constexpr auto kRows = layoutRows<Ead>({{Ead::TipoRegistro, "TIPO_REG", "registro", 1, 3}});
#endif
#ifdef TAVEX_MISUSE_ROW_WITHOUT_COLUMN
constexpr auto kRows = layoutRows<Ead>({{Ead::TipoRegistro, "TIPO_REG", "registro", 1, 3},
                                        {Ead::Assinatura, "assinatura", "", 4, 256}});
#endif

}  // namespace
}  // namespace tavex
