#!/bin/sh
echo "set up in $(pwd)"
