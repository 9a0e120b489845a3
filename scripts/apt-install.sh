# Sourced by the install scripts: apt_install [APT-GET OPTION]... PACKAGE...
# installs the packages, reading the package indexes afresh first.
#
# A mirror caught in the middle of a sync can serve an index that does not
# match its Release file. apt-get update then leaves that index out and
# still succeeds, and an install that needs it fails on dependencies it
# cannot see (the i386 packages that must match the amd64 versions, for
# one). A sync ends within minutes, so a failed install is tried again a few
# times, a minute apart, indexes and all, before it is given up.
apt_install() {
  export DEBIAN_FRONTEND=noninteractive
  local attempt
  for attempt in 1 2 3; do
    apt-get update -qq 2>&1 | grep '^E:' | head -3 >&2 || true
    if apt-get install -y -qq -o DPkg::Lock::Timeout=900 "$@"; then
      return 0
    fi
    echo "== apt: installing failed (attempt $attempt); trying again in a minute" >&2
    sleep 60
  done
  echo "== apt: could not install $*" >&2
  return 1
}
