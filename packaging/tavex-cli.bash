# bash completion for tavex-cli. Subcommands and options come from the program's
# own --help (so new ones need no edit here); after --fabricante and --modelo the
# names of "tavex-cli fabricantes" (the catalogue of the current folder), after
# --software-house those of "tavex-cli paf --listar"; otherwise file names.

_tavex_cli_lines() {  # the lines of a command's output, one reply each, that start with $cur
  local line
  while IFS= read -r line; do
    [[ $line == "$cur"* ]] && COMPREPLY+=("$line")
  done
}

_tavex_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local prog=${COMP_WORDS[0]} cmd="" i
  COMPREPLY=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} != -* ]]; then
      cmd=${COMP_WORDS[i]}
      break
    fi
  done

  if [[ -z $cmd ]]; then
    local commands
    commands=$("$prog" --help 2>/dev/null | sed -n '/^Comandos:/,/^$/s/^  \([^ ]\{1,\}\).*/\1/p')
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi

  case $prev in
    --fabricante)
      _tavex_cli_lines < <("$prog" fabricantes 2>/dev/null | sed -n 's/^Fabricante: //p')
      return ;;
    --modelo)
      _tavex_cli_lines < <("$prog" fabricantes 2>/dev/null | sed -n 's/^  Modelo: \(.*\) | biblioteca: .*/\1/p' | sort -u)
      return ;;
    --software-house)
      _tavex_cli_lines < <("$prog" paf --listar 2>/dev/null)
      return ;;
    --tolerancia|--url|--jobs)
      return ;;
  esac

  if [[ $cur == -* ]]; then
    local options
    options=$("$prog" "$cmd" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)
    COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
    return
  fi
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -f -- "$cur"))
}

complete -F _tavex_cli tavex-cli
