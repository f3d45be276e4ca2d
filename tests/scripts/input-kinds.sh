#!/bin/bash
# Named pipes, devices, sockets and lists beyond their bounds: none of them holds up a run. A
# named pipe, a device or a socket as a text file, and a device or socket as the input, are
# refused at once; a list that holds a NUL octet, or more names or octets than a list holds, is
# refused before any output exists. The input and the list from a pipe, in either mode, are read
# whole, also when the pipe's writer comes later (a pipe opened without waiting would read as
# empty).
#   input-kinds.sh <path to orvalis> <examples folder>
set -u
source "$(dirname "$0")/script-start.sh"
cp "$examples/Tags.cfg" "$examples/Orvalis.cfg" "$examples/calls.ber" .
mkfifo pipe
printf 'FilterFile=pipe\r\n' > filter-pipe.cfg
sockets=
if command -v python3 > /dev/null &&
  python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("sock")' 2> /dev/null && [ -S sock ]; then
  sockets=yes
fi

# A run that must end by itself within 20 s with STATUS and the line MESSAGE on standard error;
# FEED, when not empty, is a command whose output is the run's standard input. Refused runs leave
# no output file behind when ABSENT names one.
row() {
  local status=$1 message=$2 feed=$3 absent=$4
  shift 4
  rm -f "$absent"
  if [ -n "$feed" ]; then
    bash -c "$feed" | timeout 20 "$orvalis" "$@" > run.out 2> run.err
    got=${PIPESTATUS[1]}
  else
    timeout 20 "$orvalis" "$@" < /dev/null > run.out 2> run.err
    got=$?
  fi
  [ "$got" -eq "$status" ] || fail "$*: status $got, expected $status: $(head -c 300 run.err)"
  grep -qxF -- "$message" run.err || fail "$*: no line '$message' on standard error: $(head -c 300 run.err)"
  [ -z "$absent" ] || [ ! -e "$absent" ] || fail "$*: $absent was made"
}

# (a named pipe as the input, the main configuration file, the dictionary and the filter file:
# end-to-end cases)
# status message on standard error                                        standard input  absent   arguments
row 255 'Error: can not open specified config file: Invalid argument'      ''  ''       -q -c /dev/null -i calls.ber -o out.prs
row 255 'Error: can not open TagsConfigFile file: Invalid argument'        ''  ''       -q -t /dev/zero -i calls.ber -o out.prs
row 255 'Error: can not open specified filter file: Invalid argument'      ''  ''       -q -c filter-pipe.cfg -i calls.ber -o out.prs
if [ -n "$sockets" ]; then
  row 255 'Error: can not read input file: Invalid argument'               ''  out.prs  -q -i sock -o out.prs
  row 255 'Error: can not open TagsConfigFile file: Invalid argument'      ''  ''       -q -t sock -i calls.ber -o out.prs
else
  echo "note: no socket made (python3 missing), the socket rows are left out"
fi
# The list: a NUL octet, too many names, too many octets; the output is not made.
row 255 "Error: line 1 of list file /dev/zero holds a NUL octet: a list names one file a line (make it with find ... -print0 | tr '\\0' '\\n')" \
  '' out.prs -q -l /dev/zero -o out.prs
row 255 "Error: line 3 of list file standard input holds a NUL octet: a list names one file a line (make it with find ... -print0 | tr '\\0' '\\n')" \
  "printf 'calls.ber\\n\\ncalls.ber\\0\\n'" out.prs -q -l - -o out.prs
row 255 'Error: list file standard input names more than 100000 files: split it into lists of at most 100000 lines (split -l 100000)' \
  'yes calls.ber | head -n 100001' out.prs -q -l - -o out.prs
row 255 'Error: list file standard input holds more than 32 MiB: split it into smaller lists (split -l 100000)' \
  "head -c 33554433 /dev/zero | tr '\\0' '\\n'" out.prs -q -l - -o out.prs

# Pipes that are read: the writer comes a second after the run has begun, and the whole of what it
# writes is converted.
writes_later() {  # writes_later TEXT-COMMAND: into the pipe, a second from now, for at most 20 s
  timeout 20 bash -c "sleep 1; $1 > pipe" &
}
reads() {  # reads NAME OUTPUT ARGUMENTS...: the run ends with status 0 and OUTPUT is the example's
  local name=$1 output=$2
  shift 2
  rm -f "$output"
  timeout 20 "$orvalis" "$@" > run.out 2> run.err
  status=$?
  wait
  [ "$status" -eq 0 ] || fail "$name: status $status: $(head -c 300 run.err)"
  cmp -s "$output" "$examples/calls.ber.prs" || fail "$name: the output is not the example's"
}
writes_later 'cat calls.ber'
reads "the input from a named pipe in quiet mode" quiet.prs -q -i pipe -o quiet.prs
writes_later 'cat calls.ber'
reads "the input from a named pipe" loud.prs -i pipe -o loud.prs
writes_later 'echo calls.ber'
reads "the list from a named pipe" listed.prs -l pipe -o listed.prs
writes_later 'echo calls.ber'
reads "the list from a named pipe in quiet mode" listed-quiet.prs -q -l pipe -o listed-quiet.prs
reads "the list from a process substitution" substituted.prs -l <(echo calls.ber) -o substituted.prs
# 100000 names is a list still: a list of as many copies of one name is taken (and then refused
# for naming its output, before anything is converted).
yes calls.ber | head -n 100000 | timeout 20 "$orvalis" -q -l - -o calls.ber > run.out 2> run.err
grep -q '^Error: output file is the same as input file calls.ber (line 1 of the list' run.err ||
  fail "a list of 100000 names: $(head -c 300 run.err)"

[ $failures -eq 0 ] && echo "input-kinds: all passed"
exit $failures
