#!/bin/sh
# Started by the cross compiler's driver (its -wrapper option) for each program it runs while
# linking: "link-with-lld.sh <path of ld.lld> <program> <arguments>". The driver's link step
# (collect2, which would run the toolchain's own linker) is replaced by LLVM's linker, which takes
# the same arguments, MinGW style; anything else runs as asked.
lld=$1
shift
case "${1##*/}" in
  collect2 | collect2.exe)
    shift
    exec "$lld" "$@"
    ;;
  *) exec "$@" ;;
esac
