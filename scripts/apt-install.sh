# Sourced by the install scripts: apt_install [APT-GET OPTION]... PACKAGE...
# installs the packages, reading the package indexes afresh first.
#
# A mirror caught in the middle of a sync can serve an index that does not
# match its Release file. apt-get update then leaves that index out and
# still succeeds, and the install fails on dependencies it cannot see (the
# i386 packages that must match the amd64 versions, for one). A sync ends
# within minutes, so both steps are tried again a few times, a minute apart,
# before the install is given up.
apt_install() {
  export DEBIAN_FRONTEND=noninteractive
  local attempt log
  log=$(mktemp)
  for attempt in 1 2 3 4 5 6 7 8; do
    if apt-get update -qq >"$log" 2>&1 && ! grep -q '^E:' "$log" &&
       apt-get install -y -qq -o DPkg::Lock::Timeout=900 "$@"; then
      rm -f "$log"
      return 0
    fi
    grep '^E:' "$log" | head -3 >&2 || true
    echo "== apt: attempt $attempt failed; trying again in a minute" >&2
    sleep 60
  done
  rm -f "$log"
  echo "== apt: could not install $*" >&2
  return 1
}
