# Writes the sample update's manifest: INPUT with the paths given and the
# size of the staged program filled in, to OUTPUT.
file(SIZE "${SAMPLE_STAGED_PROGRAM}" SAMPLE_STAGED_SIZE)
configure_file("${INPUT}" "${OUTPUT}" @ONLY)
