# Installs the Debian 12 packages the project needs when any is missing.
# Sourced by scripts/test, scripts/run, scripts/package and bench/run.
#   lumicarve_install_deps          building and testing
#   lumicarve_install_deps build    building the programs and their package only
#   lumicarve_install_deps fuzz     testing, plus clang for the fuzz targets
#   lumicarve_install_deps bench    testing, plus the carvers the benchmarks compare
lumicarve_install_deps() {
  local packages=(cmake ninja-build g++ pkg-config libblkid-dev
    qt6-base-dev qt6-image-formats-plugins qt6-svg-dev qt6-tools-dev qt6-l10n-tools
    qt6-translations-l10n libexiv2-dev libheif-dev libgl-dev
    libtsk-dev dpkg-dev file)
  if [ "${1:-}" != build ]; then
    packages+=(libgtest-dev mtools dosfstools exfatprogs exfat-fuse ntfs-3g util-linux fdisk xauth xvfb dbus udisks2
      btrfs-progs e2fsprogs dmsetup)
  fi
  # scripts/package --check validates the installed desktop file and metadata.
  if [ "${1:-}" = build ]; then packages+=(appstream desktop-file-utils); fi
  if [ "${1:-}" = fuzz ]; then packages+=(clang libclang-rt-14-dev); fi
  if [ "${1:-}" = bench ]; then packages+=(testdisk foremost scalpel bc util-linux libjpeg62-turbo-dev); fi
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}
