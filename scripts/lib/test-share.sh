# velorin_test_share ROOT: prints how much of all the code is test code, in
# non-blank lines of C/C++, Python, shell, resource and CMake files. Test code
# is tests/ (unit, Win32, scenarios, harness, stand-ins, fuzz), bench/ and the
# tools' *_test.cpp; the aim is at most a third of all code.
velorin_test_share() {
  local root=$1
  ( cd "$root" || exit 1
    list() {
      if git rev-parse --git-dir >/dev/null 2>&1; then git ls-files -- "$@"
      else find "${@:-.}" -type f 2>/dev/null | sed 's|^\./||'; fi
    }
    lines() { grep -E '\.(c|cc|cpp|h|hpp|py|sh|rc|cmake)$|CMakeLists.txt$' | xargs -r cat | grep -c -v -E '^\s*$'; }
    local tests all
    tests=$( { list tests bench; list tools | grep -E '_test\.cpp$'; } | lines)
    all=$(list | grep -v -E '^(build|\.git)/' | lines)
    echo "Test code: ${tests} of ${all} non-blank lines of code ($((100 * tests / all))%; the aim is at most 33%)" )
}
