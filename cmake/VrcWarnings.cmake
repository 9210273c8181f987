# Warnings for the project's own targets (never for framework code).
set(VRC_WARNING_FLAGS
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align -Wnull-dereference)
add_library(vrc_warnings INTERFACE)
target_compile_options(vrc_warnings INTERFACE ${VRC_WARNING_FLAGS})

# Results are defined to the last bit by where values are rounded to single
# precision: no fused multiply-add, no value-changing optimisations.
add_library(vrc_strict_float INTERFACE)
target_compile_options(vrc_strict_float INTERFACE -ffp-contract=off -fno-fast-math)
