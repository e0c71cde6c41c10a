#!/bin/sh
# Runs in the folder the program was installed to, after the program.
echo "Kestrovan Sample set up in $(pwd)"
ls
echo "done" >&2
