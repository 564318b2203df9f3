# bash completion for korvane; installed as share/bash-completion/completions/korvane.
# Needs nothing from the bash-completion package, so it also works when sourced alone.

_korvane() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local words=" ${COMP_WORDS[*]} "
  local IFS=$'\n'

  # "--dialogs=gtk": bash splits the word at "=".
  if [[ $cur == "=" && $prev == --dialogs ]]; then
    COMPREPLY=($(compgen -W $'gtk\nterminal' -- ""))
    return
  fi
  if [[ $prev == "=" ]] && ((COMP_CWORD > 1)) && [[ ${COMP_WORDS[COMP_CWORD - 2]} == --dialogs ]]; then
    COMPREPLY=($(compgen -W $'gtk\nterminal' -- "$cur"))
    return
  fi

  case $prev in
    -o | --output)
      if [[ $words == *" --preview "* ]]; then
        COMPREPLY=($(compgen -d -- "$cur"))  # the directory for the pictures
      else
        COMPREPLY=($(compgen -f -- "$cur"))
      fi
      return
      ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W $'--split\n--combine\n--huc\n--info\n--json\n--preview\n-o\n--output\n--dialogs=\n-h\n--help\n--version\n--' -- "$cur"))
    [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
    return
  fi

  # Containers and designs (any case), or HUC files after --huc; and directories to walk into.
  local keep='!*.[dDsS][hH][vV]'
  [[ $words == *" --huc "* ]] && keep='!*.[hH][uU][cC]'
  COMPREPLY=($(compgen -f -X "$keep" -- "$cur") $(compgen -d -- "$cur"))
  return 0
}

complete -o filenames -F _korvane korvane
