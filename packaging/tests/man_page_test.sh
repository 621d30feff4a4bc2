#!/usr/bin/env bash
# tavex-cli(1) documents every subcommand and option the program lists, the exit
# statuses and examples; both pages are valid for man.
#   man_page_test.sh TAVEX_CLI TAVEX_CLI_PAGE TAVEX_PAGE
set -uo pipefail
cli=$1 page=$2 window_page=$3
failures=0
fail() { echo "FALHOU: $*" >&2; failures=$((failures + 1)); }

# The page as man shows it (no roff escapes in the way).
text=$(MANWIDTH=200 LC_ALL=C.UTF-8 man --local-file "$page" 2>/dev/null) || fail "man não leu $page"
export LC_ALL=C.UTF-8
commands=$("$cli" --help | sed -n '/^Comandos:/,/^$/s/^  \([^ ]\{1,\}\).*/\1/p')
[ -n "$commands" ] || fail "tavex-cli --help não listou comandos"
for c in $commands; do
  grep -qE "^ *$c\$" <<<"$text" || fail "o comando $c não tem seção na página"
  for o in $("$cli" "$c" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$o" <<<"$text" || fail "a opção $o de $c não está na página"
  done
done
for section in NOME SINOPSE "OPÇÕES GERAIS" COMANDOS SAÍDA EXEMPLOS; do
  grep -qx "$section" <<<"$text" || fail "falta a seção $section"
done
grep -qF -- "--version" <<<"$text" || fail "falta --version"

# man's own warnings (unknown requests, bad escapes) on both pages.
for p in "$page" "$window_page"; do
  warnings=$(MANWIDTH=80 man --warnings --local-file "$p" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "avisos do man em $p: $warnings"
done

[ "$failures" -eq 0 ] || exit 1
echo "página de manual: ok"
