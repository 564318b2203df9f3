# bash completion for korvane; installed as share/bash-completion/completions/korvane.
# Needs nothing from the bash-completion package, so it also works when sourced alone.

_korvane() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local words=" ${COMP_WORDS[*]} "
  local IFS=$'\n'

  # "--dialogs=gtk": bash splits the word at "=". Values are words, not file
  # names: without this, readline would escape them as names ("\=").
  local option=$prev value=$cur
  if [[ $cur == "=" ]]; then
    value=""
  elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  else
    option=""
  fi
  case $option in
    --dialogs)
      compopt +o filenames 2>/dev/null
      COMPREPLY=($(compgen -W $'auto\ngtk\nterminal' -- "$value"))
      return
      ;;
    --output-dir)
      COMPREPLY=($(compgen -d -- "$value"))
      return
      ;;
    --output)
      COMPREPLY=($(compgen -f -- "$value"))
      return
      ;;
  esac

  case $prev in
    --rotate)
      compopt +o filenames 2>/dev/null
      COMPREPLY=($(compgen -W $'90\n180\n270\nfit' -- "$cur"))
      return
      ;;
    --min-stitch)
      # A length in millimetres, not a file.
      compopt +o filenames 2>/dev/null
      COMPREPLY=($(compgen -W $'0.3' -- "$cur"))
      return
      ;;
    --to)
      # The formats korvane writes, from its own table: the rows of
      # `korvane --formats` whose "write" column says yes.
      COMPREPLY=($(compgen -W "$("${COMP_WORDS[0]}" --formats 2>/dev/null |
        awk 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "write") w = i; next }
             w && $w == "yes" { print tolower($1) }')" -- "$cur"))
      return
      ;;
    -O | --output-dir)
      COMPREPLY=($(compgen -d -- "$cur"))
      return
      ;;
    --style)
      COMPREPLY=($(compgen -W 'threads lines' -- "$cur"))
      return
      ;;
    --thread-weight)
      COMPREPLY=($(compgen -W '30 40 60' -- "$cur"))
      return
      ;;
    --fabric)
      COMPREPLY=($(compgen -W 'white cream grey black navy red denim green none' -- "$cur"))
      return
      ;;
    --thumbnail)
      # A size in pixels, not a file.
      compopt +o filenames 2>/dev/null
      COMPREPLY=($(compgen -W $'128\n256\n512' -- "$cur"))
      return
      ;;
    --scale | --thread-width | --speed | --change-time | --trim-time | --take-up)
      return
      ;;
    -o | --output)
      if [[ $words == *" --preview "* || $words == *" --worksheet "* ]]; then
        COMPREPLY=($(compgen -d -- "$cur"))  # the directory for the pictures
      else
        COMPREPLY=($(compgen -f -- "$cur"))
      fi
      return
      ;;
  esac

  if [[ $cur == -* ]]; then
    compopt +o filenames 2>/dev/null
    COMPREPLY=($(compgen -W $'--split\n--combine\n--convert\n--to\n--rotate\n--keep-origin\n--allow-oversize\n--min-stitch\n--huc\n--info\n--json\n--stitches\n--preview\n--worksheet\n--thumbnail\n--style\n--scale\n--fabric\n--thread-width\n--thread-weight\n--speed\n--change-time\n--trim-time\n--take-up\n--formats\n-o\n--output\n-O\n--output-dir\n-q\n--quiet\n-r\n--recursive\n--force\n--dialogs\n--dialogs=\n-h\n--help\n--version\n--' -- "$cur"))
    [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
    return
  fi

  # Containers and designs (any case), or HUC files after --huc, or designs of
  # every format read after --convert, --info and --preview; and directories
  # to walk into.
  local keep='!*.[dDsS][hH][vV]'
  [[ $words == *" --huc "* ]] && keep='!*.[hH][uU][cC]'
  if [[ $words == *" --convert "* || $words == *" --info "* || $words == *" --preview "* || $words == *" --worksheet "* || $words == *" --thumbnail "* ]]; then
    keep='!*.@([dDsS][hH][vV]|[hH][uU][cC]|[dD][sS][tT]|[eE][xX][pP]|[jJ][eE][fF]|[pP][eE][sScC]|[vV][pP]3|[hH][uU][sS]|[vV][iI][pP]|[xX][xX][xX]|[sS][eE][wW])'
  fi
  # The pattern needs extglob; the user's setting is put back afterwards.
  local restore
  restore=$(shopt -p extglob)
  shopt -s extglob
  COMPREPLY=($(compgen -f -X "$keep" -- "$cur") $(compgen -d -- "$cur"))
  eval "$restore"
  return 0
}

complete -o filenames -F _korvane korvane
