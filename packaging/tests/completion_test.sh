#!/usr/bin/env bash
# The bash completion of tavex-cli offers what the program itself lists.
#   completion_test.sh COMPLETION_FILE TAVEX_CLI START_FOLDER
set -uo pipefail
completion=$1 cli=$2 start=$3
. "$completion"
failures=0

# complete WORDS...: the replies for the last word, one per line.
complete_words() {
  COMP_WORDS=("$cli" "$@")
  COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
  _tavex_cli
  printf '%s\n' "${COMPREPLY[@]}"
}
expect() {  # expect DESCRIPTION WANTED REPLIES
  if ! grep -qxF -- "$2" <<<"$3"; then
    echo "FALHOU: $1: esperado \"$2\" entre: $(tr '\n' ' ' <<<"$3")" >&2
    failures=$((failures + 1))
  fi
}

# Every subcommand of the general help, from an empty word and from its prefix.
commands=$("$cli" --help | sed -n '/^Comandos:/,/^$/s/^  \([^ ]\{1,\}\).*/\1/p')
[ -n "$commands" ] || { echo "FALHOU: tavex-cli --help não listou comandos" >&2; exit 1; }
all=$(complete_words "")
for c in $commands; do
  expect "comando $c" "$c" "$all"
  expect "comando $c pelo prefixo" "$c" "$(complete_words "${c:0:3}")"
done
expect "--version" "--version" "$(complete_words --v)"

# Every option of every subcommand's own help.
for c in $commands; do
  offered=$(complete_words "$c" --)
  for o in $("$cli" "$c" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    expect "opção $o de $c" "$o" "$offered"
  done
done

# Names from the catalogue and the software houses of the start folder; file names.
cd "$start" || exit 1
expect "fabricante" "DATAREGIS" "$(complete_words assinatura x.txt --fabricante "")"
expect "modelo com espaços" "SIM-50 SEM MFD" "$(complete_words assinatura x.txt --fabricante DATAREGIS --modelo SIM-5)"
expect "software house" "TAVEXSOFT" "$(complete_words paf x.txt --software-house T)"
expect "arquivo" "mf_valido.txt" "$(complete_words validar mf_)"
expect "relatório" "relatorio" "$(complete_words rel)"
expect "arquivo do relatório" "mf_valido.txt" "$(complete_words relatorio x.txt --saida mf_)"
[ -z "$(complete_words validar --tolerancia "")" ] || { echo "FALHOU: --tolerancia ofereceu algo" >&2; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] || exit 1
echo "completamento: ok"
