// Each rule fires once, at the line and with the values the damage gives, on a
// generated file damaged for it; none of them fires on the consistent files.
#include <functional>

#include "cotepe/record_layout.h"
#include "indicator_fixture.h"

namespace tavex::testing {
namespace {

template <class Field>
std::int64_t get(const std::string& line, Field field) {
  return leadingInt(fieldOf(line, field));
}
int lineOf(std::size_t index) { return static_cast<int>(index) + 1; }
std::size_t nthOf(const std::vector<std::string>& lines, const char* type, std::size_t skip = 0) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].starts_with(type) && skip-- == 0) return i;
  ADD_FAILURE() << "no " << type;
  return 0;
}

GeneratorOptions made(FileKind kind, std::uint64_t coupons = 8, bool grandTotals = false) {
  GeneratorOptions options;
  options.kind = kind;
  options.reductions = 6;
  options.couponsPerReduction = coupons;
  options.grandTotals = grandTotals;
  return options;
}

struct Expected {
  int line = 0;
  std::string expected, found;
  std::int64_t count = 1;
};
struct Damage {
  const char* name;
  const char* code;
  GeneratorOptions options;
  std::function<Expected(std::vector<std::string>&)> damage;
};

const std::vector<Damage>& damages() {
  using Lines = std::vector<std::string>;
  static const std::vector<Damage> all = {
      {"GT do E11 acima das vendas", "indicio.gt.vendas", made(FileKind::MF, 8, true),
       [](Lines& l) {
         std::string& e11 = l[nthOf(l, "E11")];
         const std::int64_t gt = get(e11, E11::Gt);
         setField(e11, E11::Gt, gt + 500);
         return Expected{lineOf(nthOf(l, "E11")), std::to_string(gt), std::to_string(gt + 500)};
       }},
      {"dia sem documentos", "indicio.z.sem_documentos", made(FileKind::TDM),
       [](Lines& l) {
         const std::int64_t firstZ = get(l[nthOf(l, "E12")], E12::Coo);
         std::erase_if(l, [&](const std::string& line) {
           const int type = recordTypeOf(line);
           return (type == 14 && get(line, E14::Coo) < firstZ) || (type == 15 && get(line, E15::Coo) < firstZ) ||
                  (type == 19 && get(line, E19::Coo) < firstZ) || (type == 20 && get(line, E20::Coo) < firstZ) ||
                  (type == 21 && get(line, E21::Coo) < firstZ);
         });
         return Expected{lineOf(nthOf(l, "E12")), "documentos do dia", "nenhum"};
       }},
      {"cupom depois da redução Z", "indicio.documento.apos_z", made(FileKind::TDM),
       [](Lines& l) {
         const std::size_t coupon = nthOf(l, "E14", 9);  // second day, issued 03/01
         setField(l[coupon], E14::DataInicio, 20120105);
         return Expected{lineOf(coupon), "até 20120103"_cp, "20120105"};
       }},
      {"COO da redução Z volta sobre um cupom", "indicio.coo.repetido", made(FileKind::TDM),
       [](Lines& l) {
         const std::size_t coupon = nthOf(l, "E14", 10);
         setField(l[nthOf(l, "E12", 2)], E12::Coo, get(l[coupon], E14::Coo));
         return Expected{lineOf(coupon), "COO único"_cp, std::to_string(get(l[coupon], E14::Coo))};
       }},
      {"redução Z ausente da fita", "indicio.crz.sequencia", made(FileKind::MFD),
       [](Lines& l) {
         const std::size_t third = nthOf(l, "E16", 2);
         l.erase(l.begin() + static_cast<std::ptrdiff_t>(third));
         return Expected{lineOf(third), "3", "4"};
       }},
      {"redução Z da fita antes da anterior", "indicio.data.regressiva", made(FileKind::MFD),
       [](Lines& l) {
         const std::size_t fourth = nthOf(l, "E16", 3);
         setField(l[fourth], E16::DataFinal, 20120102);
         return Expected{lineOf(fourth), "20120104 ou depois", "20120102"};
       }},
      {"cancelamentos na fita, arredondados", "indicio.cancelamentos", made(FileKind::MFD, 6),
       [](Lines& l) {
         for (std::size_t k = 0; k < 36; ++k) l[nthOf(l, "E14", k)][fieldLayout(E14::Cancelamento).start - 1] = k == 0 ? 'S' : 'N';
         return Expected{lineOf(nthOf(l, "E16")), "até 10,00 %"_cp, "16,67 %"};
       }},
      {"documentos depois do último", "indicio.contadores.apos_ultimo", made(FileKind::TDM),
       [](Lines& l) {
         std::string& e11 = l[nthOf(l, "E11")];
         const std::int64_t coo = get(e11, E11::Coo);
         setField(e11, E11::Coo, coo + 5);
         return Expected{lineOf(nthOf(l, "E11")), std::string("até "_cp) + std::to_string(coo + 2), std::to_string(coo + 5)};
       }},
      {"redução Z com a data trocada: uma linha", "indicio.documento.fora_do_dia", made(FileKind::TDM),
       [](Lines& l) {
         setField(l[nthOf(l, "E12", 1)], E12::DataMovimento, 20120104);
         // the second day's 8 coupons and its non-fiscal document
         return Expected{lineOf(nthOf(l, "E14", 8)), "20120104", "20120103", 9};
       }},
  };
  return all;
}

TEST_F(IndicatorTest, EachRuleFiresOnceWhereTheDamageIs) {
  for (const Damage& d : damages()) {
    auto lines = generatedLines(d.options);
    const Expected want = d.damage(lines);
    const auto all = indicators(lines);
    const auto hits = withCode(all, d.code);
    ASSERT_EQ(hits.size(), 1u) << d.name << "\n" << describe(all);
    EXPECT_EQ(hits[0].line, want.line) << d.name;
    EXPECT_EQ(hits[0].expected, want.expected) << d.name;
    EXPECT_EQ(hits[0].found, want.found) << d.name;
    EXPECT_EQ(hits[0].count, want.count) << d.name;
    EXPECT_EQ(hits[0].members.size(), want.count > 1 ? static_cast<std::size_t>(want.count) : 0u) << d.name;
  }
}

TEST_F(IndicatorTest, ConsistentFilesAsPrintersWriteThemGiveNoneOfTheNewRules) {
  GeneratorOptions quarter = made(FileKind::TDM, 3, true);
  quarter.reductions = 90;
  const auto year = generatedLines(quarter);
  std::vector<std::vector<std::string>> files = {reductionsOf(year, 31, 60), reductionsOf(year, 1, 30)};
  for (FileKind kind : {FileKind::MF, FileKind::MFD, FileKind::TDM, FileKind::RZ})
    files.push_back(generatedLines(made(kind, 8, true)));
  for (const auto& lines : files) {
    const auto all = indicators(lines);
    for (const char* code : {"indicio.gt.vendas", "indicio.z.sem_documentos", "indicio.documento.apos_z",
                             "indicio.contadores.apos_ultimo", "indicio.documento.fora_do_dia"})
      EXPECT_TRUE(withCode(all, code).empty()) << code << "\n" << describe(all);
    EXPECT_TRUE(alerts(all).empty()) << describe(all);
  }
}

}  // namespace
}  // namespace tavex::testing
