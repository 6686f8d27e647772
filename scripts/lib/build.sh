# Shared by scripts/demo and scripts/test: configure and build one
# CMake tree, logs beside it, the tail of a failed step shown.

# velorin_build_tree ROOT BUILD NAME TARGETS [cmake args...]: builds BUILD/NAME
# from ROOT; TARGETS is a blank-separated list, or "all".
velorin_build_tree() {
  local root=$1 build=$2 name=$3 targets=$4
  shift 4
  mkdir -p "$build"
  cmake -S "$root" -B "$build/$name" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$build/$name.configure.log" 2>&1 \
    || { cat "$build/$name.configure.log"; return 1; }
  local target_args=()
  if [ "$targets" != all ]; then
    local t
    for t in $targets; do target_args+=(--target "$t"); done
  fi
  cmake --build "$build/$name" -j "$(nproc)" "${target_args[@]}" >"$build/$name.build.log" 2>&1 \
    || { tail -n 60 "$build/$name.build.log"; return 1; }
}
