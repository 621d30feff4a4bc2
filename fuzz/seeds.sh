# Sourced by the fuzz scripts. tavex_fuzz_seeds ROOT TARGET DIR: copies TARGET's seed
# corpus, made from the project's example files, into DIR.
tavex_fuzz_seeds() {
  local root=$1 target=$2 dir=$3
  mkdir -p "$dir"
  case "$target" in
    xml_reader) cp "$root"/fuzz/corpus/xml/* "$dir"/ ;;
    validation | conversions) cp "$root"/exemplos/*.txt "$dir"/ ;;
    signature) cp "$root"/exemplos/*.txt "$root"/exemplos/SHouse/*.xml "$dir"/ ;;
    *) echo "alvo desconhecido: $target" >&2; return 1 ;;
  esac
}
