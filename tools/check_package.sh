#!/usr/bin/env bash
# Builds the Debian package and uses it as an IT department would: checks its
# contents against packaging/tests/package_contents.txt and its lintian report,
# installs it with apt-get, runs the installed tavex-cli and window (offscreen),
# removes it and checks that nothing of it is left. Needs root (or sudo).
#   tools/check_package.sh [BUILD_DIR]     (default build-release; a new one is Release)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/dependencies.sh
tavex_install_dependencies
build=${1:-build-release}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8

fail() { echo "FALHOU: $*" >&2; exit 1; }

echo "== Pacote Debian ($build/) =="
if [ -f "$build/CMakeCache.txt" ]; then  # a configured tree keeps its build type
  cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  cmake --build "$build" >/dev/null
else
  tavex_build "$build" -DCMAKE_BUILD_TYPE=Release -DTAVEX_WERROR=ON
fi
rm -f "$build"/tavex_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$PWD/$build"/tavex_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack não gerou um só tavex_*.deb"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
echo "$(basename "$deb")"

echo "-- conteúdo"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
expected=$(grep -v '^#' packaging/tests/package_contents.txt | sed "s/@MULTIARCH@/$multiarch/" | sort)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}' | sort)
diff <(echo "$expected") <(echo "$actual") || fail "o conteúdo do pacote difere da lista esperada (< esperado, > no pacote)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libsqlite3-0 libtomcrypt1 libpq5; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends sem $lib: $depends"
done

echo "-- lintian"
# Errors fail; so does any warning not in the accepted list (each with its reason).
report=$(lintian --allow-root --tag-display-limit 0 "$deb" 2>&1) || true
echo "$report"
grep -q '^E: ' <<<"$report" && fail "lintian encontrou erros"
accepted=$(awk '!/^#/ && NF {print $1}' packaging/tests/lintian_accepted.txt)
while read -r tag; do
  [ -n "$tag" ] || continue
  grep -qxF "$tag" <<<"$accepted" || fail "aviso do lintian não aceito: $tag"
done < <(grep '^W: ' <<<"$report" | awk '{print $3}' | sort -u)

echo "-- instalação"
trap '$sudo apt-get purge -y -qq tavex >/dev/null 2>&1 || true' EXIT
$sudo apt-get install -y -qq "$deb" >/dev/null
[ "$(tavex-cli --version)" = "tavex-cli $version" ] || fail "tavex-cli --version: $(tavex-cli --version)"
[ "$(tavex --version)" = "tavex $version" ] || fail "tavex --version: $(tavex --version)"
man -w tavex-cli >/dev/null && man -w tavex >/dev/null || fail "páginas de manual não encontradas"
bash -c '. /usr/share/bash-completion/completions/tavex-cli && complete -p tavex-cli' >/dev/null \
  || fail "o completamento do bash não define tavex-cli"

work=$(mktemp -d)
trap '$sudo apt-get purge -y -qq tavex >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
cp /usr/share/tavex/exemplos/tdm_valido.txt "$work/"
(cd "$work" && tavex-cli validar tdm_valido.txt --tolerancia 0,05 >/dev/null) || fail "tavex-cli validar de um exemplo instalado"
[ -s "$work/tdm_valido.txt.log" ] || fail "validar não gravou o log"
mkdir "$work/assinados" && cp -r /usr/share/tavex/exemplos/. "$work/assinados/"
(cd "$work/assinados" && tavex-cli assinatura tdm_valido.txt --fabricante DATAREGIS >/dev/null) \
  || fail "a assinatura de um exemplo instalado não é válida"
(cd "$work/assinados" && tavex-cli assinatura tdm_assinatura_adulterada.txt --fabricante DATAREGIS 2>/dev/null) \
  && fail "a cópia adulterada de um exemplo instalado passou na verificação"
(cd "$work/assinados" && tavex-cli paf paf/mercadorias.txt --software-house TAVEXSOFT >/dev/null) \
  || fail "a assinatura do exemplo de PAF-ECF instalado não é válida"

echo "-- janela instalada (offscreen), iniciada na pasta pessoal"
mkdir -p "$work/home"
started=$(cd "$work/home" && env -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  timeout 60 tavex --sair-apos-iniciar 2>/dev/null) || fail "a janela não abriu e fechou"
user="$work/home/.local/share/tavex"
[ "$(head -n 1 <<<"$started")" = "tavex: pasta inicial $user" ] || fail "pasta inicial inesperada: $started"
[ -e "$user/DATAREGIS/libecf_simulado.so" ] || fail "o ECF simulado não está na pasta do usuário"
[ -d "$user/DATAREGIS/Arquivos de Trabalho" ] || fail "a janela não montou o catálogo do usuário"
(cd "$user" && tavex-cli fabricantes | grep -q '^Fabricante: DATAREGIS') || fail "catálogo do usuário"
[ "$(readlink -f "$user/DATAREGIS/libecf_simulado.so")" = "/usr/lib/$multiarch/tavex/libecf_simulado.so" ] \
  || fail "o ECF simulado do usuário não é o instalado"
[ -e "$user/Manual_Tavex.pdf" ] || fail "o manual não está na pasta do usuário"

echo "-- janela instalada numa cópia dos exemplos (sem o ECF simulado nem o manual)"
cp -r /usr/share/tavex/exemplos "$work/home/tavex-exemplos"
started=$(cd "$work/home/tavex-exemplos" && env -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  timeout 60 tavex --sair-apos-iniciar 2>/dev/null) || fail "a janela não abriu e fechou na cópia dos exemplos"
grep -qxF "tavex: pasta inicial $work/home/tavex-exemplos" <<<"$started" || fail "pasta inicial inesperada: $started"
grep -qxF "tavex: manual /usr/share/doc/tavex/Manual_Tavex.pdf" <<<"$started" \
  || fail "Ajuda não acha o manual instalado: $started"
grep -qxF "tavex: biblioteca DATAREGIS/libecf_simulado.so: /usr/lib/$multiarch/tavex/libecf_simulado.so" <<<"$started" \
  || fail "a janela não acha o ECF simulado instalado: $started"

echo "-- remoção"
files=$(dpkg -L tavex)
$sudo apt-get purge -y -qq tavex >/dev/null
dpkg-query -W -f='${Status}' tavex 2>/dev/null | grep -q installed && fail "tavex ainda consta como instalado"
left=""
while read -r path; do
  case $path in
    /. | /usr | /usr/bin | /usr/lib | /usr/lib/"$multiarch" | /usr/share | /usr/share/applications | /usr/share/bash-completion* | \
    /usr/share/doc | /usr/share/icons* | /usr/share/man | /usr/share/man/man1 | /usr/share/metainfo) continue ;;
  esac
  [ -e "$path" ] || [ -L "$path" ] && left+="$path"$'\n'
done <<<"$files"
[ -z "$left" ] || fail "restou do pacote: $left"
echo "Pacote Debian: ok"
