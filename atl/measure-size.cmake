# Writes the built library's size beside the 35,328 bytes that the stub's
# trailer reserves for the carried ATL runtime.
file(SIZE ${FILE} size)
math(EXPR percent "${size} * 100 / 35328")
file(WRITE ${OUT} "atl98.dll: ${size} bytes (${percent}% of the 35328 bytes the trailer was laid out for)\n")
