#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those missing.
# Usage: scripts/deps.sh run|test|bench|package
set -euo pipefail
what=${1:-run}

packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite qt6-image-formats-plugins
          fonts-liberation zlib1g-dev libxml2-dev libproj-dev proj-data)
case "$what" in
  test)
    packages+=(libgtest-dev python3-ezdxf poppler-utils gpsbabel libgeographiclib-dev clang libclang-rt-14-dev
               clang-format locales desktop-file-utils shared-mime-info libglib2.0-bin sqlite3 dpkg-dev file strace
               libxml2-utils gdal-bin librecad proj-bin)
    ;;
  package)
    packages+=(dpkg-dev file)
    ;;
  bench)
    packages+=(libgtest-dev libbenchmark-dev python3-ezdxf gpsbabel libgeographiclib-dev proj-bin sqlite3
               geographiclib-tools)
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
