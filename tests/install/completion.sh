#!/usr/bin/env bash
# completion.sh FILE: loads the bash completion FILE for divro as
# bash-completion would, and checks what it offers for a few command lines
# in a folder with files and folders. Exit status 0 when all match.
set -u
source /usr/share/bash-completion/bash_completion || exit 1
shopt -s extglob
source "$1" || exit 1
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch data.bin data.bin.001 orders.txt
mkdir old out

# The words offered for LINE (completing its last word), sorted, on one line.
offered() {
  COMP_LINE=$1
  COMP_POINT=${#1}
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _divro divro "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

failures=0
# line | offered
while IFS='|' read -r line expected; do
  line=${line%%+( )} expected=${expected# }
  [[ $line == *'<sp>' ]] && line="${line%<sp>} "
  got=$(offered "$line")
  [ "$got" = "$expected" ] || { echo "FAIL: '$line' offers '$got', not '$expected'"; failures=$((failures + 1)); }
done <<'TABLE'
divro /                      | '/?' /C /F /H /S /Y
divro /y                     | /Y
divro --v                    | --version
divro o                      | old orders.txt out
divro data.bin /100 o        | old out
divro /Y data.bin /f<sp>     | old out
divro /C data.bin.001 o      | old out
divro data.bin.001 out o     |
TABLE
[ $failures -eq 0 ]
