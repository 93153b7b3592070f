# The subsystems, lowest layer first. Each folder is one library named after it, except
# filter/, which holds two: filter_engine (the protocol engine and quoting: no Boost, no
# settings) and filter (the application: rules file, message scan, the filter class).
# scripts/check-includes.sh reads both lists below.
set(SUBSYSTEMS foundation filter formats cli directory wssp)

# The files of filter/ (names without extension) that make filter_engine.
set(FILTER_ENGINE_FILES envelope ext_filter helper quoting request_line scan_result)
