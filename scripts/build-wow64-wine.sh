#!/usr/bin/env bash
# Builds Wine 10.0 from Debian 13's source (10.0~repack-6) on Debian 12 in its
# "new WoW64" mode: one 64-bit Unix side with the Windows DLLs for i386 and
# x86_64, so 32-bit Windows programs run inside a 64-bit Linux process and no
# 32-bit Linux library is needed. scripts/setup-wow64.sh --build runs it when
# the prebuilt archive is not there; it takes 35-45 minutes on 2 cores.
#
# Usage: scripts/build-wow64-wine.sh PREFIX [PHASE...]
#   PHASE: deps data source regen configure build install   (default: all)
#   Each phase but deps and install leaves a stamp and is skipped when done.
# Environment:
#   WORK     folder for the source, the data packages and the build
#            (default ./wine-wow64-build)
#   DESTDIR  install into DESTDIR/PREFIX instead of PREFIX (staging)
#   JOBS     parallel make jobs (default 2);  NICE  prefix of the heavy commands
#
# Nothing from Debian 13 is installed: its source and the four data packages
# that the source's generators read (newer Unicode tables and the Vulkan
# registry) come through a private apt configuration under WORK and are
# unpacked there; the system's apt sources stay as they are. Only the deps
# phase installs Debian 12 packages (the build dependencies).
set -euo pipefail

prefix=${1:?usage: $0 PREFIX [deps data source regen configure build install]}
shift
phases=${*:-deps data source regen configure build install}
WORK=${WORK:-$PWD/wine-wow64-build}
JOBS=${JOBS:-2}
NICE=${NICE:-nice -n 19}
DESTDIR=${DESTDIR:-}
debian_version=10.0~repack-6
src=$WORK/wine-10.0~repack
build=$WORK/build
data=$WORK/data            # the data packages, unpacked
aptdir=$WORK/apt           # the private apt configuration
# Debian's version-string patch puts this into the version; fixed dates make
# the generated files the same on every build.
export VENDOR="Debian $debian_version, new-wow64 rebuild"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1740000000}

# Building, and regenerating what the repacked source leaves out (configure,
# Unicode tables, fonts, icons).
build_packages="build-essential dpkg-dev flex bison gettext autoconf autotools-dev pkg-config
 perl python3 gcc-mingw-w64-i686 gcc-mingw-w64-x86-64
 libx11-dev libxext-dev libxrender-dev libxrandr-dev libxi-dev libxcursor-dev libxfixes-dev
 libxcomposite-dev libxinerama-dev libxkbfile-dev libfreetype-dev libfontconfig-dev
 libgnutls28-dev libxml-libxml-perl fontforge-nox icoutils librsvg2-bin imagemagick
 xz-utils unzip bzip2"

# Modules left out, about half of the C code: Direct3D and its shader
# compilers, the extra copies of the C and C++ runtimes (msvcrt and ucrtbase
# stay), HTML and script engines, media, audio and DirectPlay, OpenGL. No
# module that stays imports one of them. DISABLE_MODULES="" builds them all.
DISABLE_MODULES=${DISABLE_MODULES-"\
d3dx9_24 d3dx9_25 d3dx9_26 d3dx9_27 d3dx9_28 d3dx9_29 d3dx9_30 d3dx9_31 d3dx9_32 d3dx9_33 d3dx9_34 \
d3dx9_35 d3dx9_36 d3dx9_37 d3dx9_38 d3dx9_39 d3dx9_40 d3dx9_41 d3dx9_42 d3dx9_43 d3dx10_33 d3dx10_34 \
d3dx10_35 d3dx10_36 d3dx10_37 d3dx10_38 d3dx10_39 d3dx10_40 d3dx10_41 d3dx10_42 d3dx10_43 d3dx11_42 \
d3dx11_43 d3dcompiler_33 d3dcompiler_34 d3dcompiler_35 d3dcompiler_36 d3dcompiler_37 d3dcompiler_38 \
d3dcompiler_39 d3dcompiler_40 d3dcompiler_41 d3dcompiler_42 d3dcompiler_43 d3dcompiler_46 \
d3dcompiler_47 msvcr70 msvcr71 msvcr80 msvcr90 msvcr100 msvcr110 msvcr120 msvcr120_app msvcrtd \
concrt140 msvcp60 msvcp70 msvcp71 msvcp80 msvcp90 msvcp100 msvcp110 msvcp120 msvcp120_app msvcp140 \
msvcp140_1 msvcp140_2 msvcp140_atomic_wait msvcirt mshtml jscript vbscript iexplore hhctrl.ocx hh \
wined3d d3d8 d3d9 d3d10 d3d10_1 d3d10core d3d11 d3d12 dxgi ddraw ddrawex d3drm d3dim d3dim700 d2d1 \
vkd3d winevulkan vulkan-1 xaudio2_0 xaudio2_1 xaudio2_2 xaudio2_3 xaudio2_4 xaudio2_5 xaudio2_6 \
xaudio2_7 xaudio2_8 xaudio2_9 xactengine2_0 xactengine2_4 xactengine2_7 xactengine2_9 xactengine3_0 \
xactengine3_1 xactengine3_2 xactengine3_3 xactengine3_4 xactengine3_5 xactengine3_6 xactengine3_7 \
x3daudio1_0 x3daudio1_1 x3daudio1_2 x3daudio1_3 x3daudio1_4 x3daudio1_5 x3daudio1_6 x3daudio1_7 \
xapofx1_1 xapofx1_2 xapofx1_3 xapofx1_4 xapofx1_5 faudio quartz qedit qcap amstream mf mfplat \
mfreadwrite mfmediaengine mfsrcsnk winegstreamer dmusic dmime dmstyle dmsynth dmband dmcompos \
dmscript dmloader dswave dpnet dplayx dpvoice wmphoto jxr opengl32 glu32 dplay dpnlobby dpnaddr \
wmvcore evr npmshtml mfplay wbemprox dxdiagn qasf \
msmpeg2vdec mfasfsrcsnk colorcnv msauddecmft ir50_32 wmvdecod mfh264enc resampledmo msvproc wmadmod \
mfmp4srcsnk fluidsynth mp3dmod"}

log() { echo "[$(date +%T)] $*"; }

# apt with the private configuration: Debian 13's main archive, binary and
# source indexes, kept under WORK.
private_apt() {
  apt-get -o Dir::Etc::sourcelist="$aptdir/sources.list" -o Dir::Etc::sourceparts=- \
    -o Dir::State::Lists="$aptdir/lists" -o Dir::Cache="$aptdir/cache" "$@"
}

private_apt_update() {
  [ -f "$aptdir/.stamp" ] && return 0
  mkdir -p "$aptdir/lists/partial" "$aptdir/cache/archives/partial"
  local archive="[signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian trixie main"
  printf 'deb %s\ndeb-src %s\n' "$archive" "$archive" > "$aptdir/sources.list"
  private_apt update -q
  touch "$aptdir/.stamp"
}

phase_deps() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  # shellcheck disable=SC2086  # one word per package
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $build_packages
}

# The generators of wine 10.0 read Unicode 16 data (unicode-data,
# unicode-idna, unicode-cldr-core) and the Vulkan 1.4 registry
# (libvulkan-dev's vk.xml and video.xml); Debian 12's are older.
phase_data() {
  [ -f "$data/.stamp" ] && return 0
  private_apt_update
  mkdir -p "$aptdir/debs" "$data"
  (cd "$aptdir/debs" && private_apt download unicode-data unicode-idna unicode-cldr-core libvulkan-dev)
  local deb
  for deb in "$aptdir"/debs/*.deb; do dpkg -x "$deb" "$data"; done
  touch "$data/.stamp"
}

phase_source() {
  [ -f "$src/.stamp-source" ] && return 0
  private_apt_update
  rm -rf "$src"
  mkdir -p "$WORK"
  (cd "$WORK" && private_apt source --only-source "wine=$debian_version")
  cd "$src"
  # Debian links the Windows DLLs against the mingw zlib DLL; wine's own copy
  # of zlib, linked in, keeps the install self-contained.
  patch -R -p1 < debian/patches/system/zlib.patch
  # Debian's install paths (DLLs in the library folder, fonts hard-coded to
  # /usr/share/wine/fonts) are made for /usr and the fonts-wine package; with
  # them wine's own fonts are not found under PREFIX. The upstream layout,
  # everything under PREFIX, also keeps the folder movable.
  patch -R -p1 < debian/patches/debianization/install-paths.patch
  # The Unicode generator reads /usr/share/unicode: the unpacked data instead.
  sed -i "s|/usr/share/doc/unicode-data/|$data/usr/share/doc/unicode-data/|; s|url  => \"/usr/share/unicode|url  => \"$data/usr/share/unicode|" tools/make_unicode
  touch .stamp-source
}

# What the repack strips, generated again as debian/rules does, and what only
# upstream's maintainer mode would make for an out-of-tree build (fonts and
# icons), generated into the source tree.
phase_regen() {
  [ -f "$src/.stamp-regen" ] && return 0
  cd "$src"
  # The fonts need nothing generated first: fontforge runs meanwhile.
  (
    for sfd in fonts/*.sfd; do
      ttf=${sfd%.sfd}.ttf
      [ -s "$ttf" ] || $NICE fontforge -lang=ff -script fonts/genttf.ff "$sfd" "$ttf" 2>/dev/null
    done
  ) &
  local fonts=$!
  $NICE ./tools/make_unicode
  ./tools/make_requests
  ./tools/make_specfiles
  (cd dlls/dsound && ./make_fir)
  (cd dlls/opengl32 && ./make_opengl)
  (cd dlls/winevulkan && $NICE ./make_vulkan -x "$data/usr/share/vulkan/registry/vk.xml" \
    -X "$data/usr/share/vulkan/registry/video.xml")
  ln -sf /usr/share/misc/config.sub tools
  ln -sf /usr/share/misc/config.guess tools
  # The icons that debian/rules links instead of shipping copies.
  local link
  for link in \
    dlls/user32/resources/oic_hand.svg:dlls/display.drv16/oic_hand.svg \
    dlls/user32/resources/oic_note.svg:dlls/comctl32/idi_tt_info_md.svg \
    dlls/user32/resources/oic_note.svg:dlls/comctl32/idi_tt_info_sm.svg \
    dlls/user32/resources/oic_bang.svg:dlls/comctl32/idi_tt_warn_md.svg \
    dlls/user32/resources/oic_bang.svg:dlls/comctl32/idi_tt_warn_sm.svg \
    dlls/user32/resources/oic_hand.svg:dlls/comctl32/idi_tt_error_md.svg \
    dlls/user32/resources/oic_hand.svg:dlls/comctl32/idi_tt_error_sm.svg \
    dlls/shell32/resources/move.svg:dlls/comctl32/idi_dragarrow.svg \
    dlls/shell32/resources/image.svg:programs/regedit/bin.svg \
    dlls/shell32/resources/folder.svg:programs/regedit/folder.svg \
    dlls/shell32/resources/document.svg:programs/regedit/string.svg \
    dlls/shell32/resources/mycomputer.svg:programs/regedit/computer.svg \
    dlls/shell32/resources/folder_open.svg:programs/regedit/folderopen.svg \
    dlls/shell32/resources/window.svg:programs/taskmgr/window.svg \
    dlls/shell32/resources/window.svg:programs/taskmgr/windowsm.svg \
    dlls/shell32/resources/drive.svg:dlls/comdlg32/hdisk.svg \
    dlls/shell32/resources/folder.svg:dlls/comdlg32/folder.svg \
    dlls/shell32/resources/network.svg:dlls/comdlg32/network.svg \
    dlls/shell32/resources/folder_open.svg:dlls/comdlg32/folder2.svg \
    dlls/shell32/resources/disk_drive.svg:dlls/comdlg32/floppy.svg \
    dlls/shell32/resources/optical_drive.svg:dlls/comdlg32/cdrom.svg; do
    ln -sf "../../${link%%:*}" "${link#*:}"
  done
  autoreconf -f
  wait "$fonts"
  # Every .svg that a Makefile.in lists and whose .ico, .bmp or .cur a
  # resource script of that folder names is converted.
  local makefile folder svg base ext
  { grep -l '\.svg' -r --include=Makefile.in . || true; } | while read -r makefile; do
    folder=$(dirname "$makefile")
    perl -0777 -ne 'my %s; $s{$1}=1 while /([\w.+\/-]+\.svg)\b/g; print "$_\n" for sort keys %s' "$makefile" |
      while read -r svg; do
        base=${svg%.svg}
        for ext in ico bmp cur; do
          if [ ! -e "$folder/$base.$ext" ] && grep -qF "$base.$ext" "$folder"/*.rc 2>/dev/null; then
            (cd "$folder" && CONVERT=convert ICOTOOL=icotool RSVG=rsvg-convert \
              $NICE "$src/tools/buildimage" "$svg" "$base.$ext")
          fi
        done
      done
  done
  touch .stamp-regen
}

phase_configure() {
  [ -f "$build/.stamp-configure" ] && return 0
  rm -rf "$build"
  mkdir -p "$build"
  cd "$build"
  local disabled=() module
  for module in $DISABLE_MODULES; do disabled+=("--disable-$module"); done
  # -I dlls/ntdll/unix: Debian's version-string patch generates version.h in
  # the build tree, where only an in-tree build would find it.
  $NICE "$src/configure" --prefix="$prefix" \
    --enable-archs=i386,x86_64 --disable-tests --disable-win16 \
    --with-x --with-freetype --with-fontconfig --with-gnutls --with-mingw \
    --without-alsa --without-pulse --without-oss --without-coreaudio \
    --without-cups --without-sane --without-gphoto --without-v4l2 --without-capi \
    --without-gstreamer --without-opengl --without-osmesa --without-vulkan --without-opencl \
    --without-sdl --without-usb --without-udev --without-dbus --without-pcap \
    --without-krb5 --without-gssapi --without-netapi --without-unwind --without-xxf86vm \
    --without-wayland --without-ffmpeg --without-pcsclite \
    "${disabled[@]}" \
    CFLAGS="-O2 -g0 -I$build/dlls/ntdll/unix" CROSSCFLAGS="-O2 -g0" LDFLAGS=""
  # Debian's temporary-folder patch adds a make rule naming
  # include/wine/server_tmpdir.h relative to the build folder.
  mkdir -p include/wine
  ln -sf "$src/include/wine/server_tmpdir.h" include/wine/server_tmpdir.h
  touch .stamp-configure
}

phase_build() {
  [ -f "$build/.stamp-build" ] && return 0
  cd "$build"
  $NICE make -j"$JOBS"
  touch .stamp-build
}

phase_install() {
  cd "$build"
  make install DESTDIR="$DESTDIR"
  # Debian's rules leave the TrueType fonts out of the install.
  local fonts=$DESTDIR$prefix/share/wine/fonts f
  install -d "$fonts"
  for f in marlett symbol tahoma tahomabd webdings wingding; do
    install -m 644 "$src/fonts/$f.ttf" "$fonts/"
  done
}

for phase in $phases; do
  case "$phase" in
    deps|data|source|regen|configure|build|install) ;;
    *) echo "unknown phase: $phase" >&2; exit 2 ;;
  esac
  log "phase $phase"
  t0=$SECONDS
  "phase_$phase"
  log "phase $phase: $((SECONDS - t0)) s"
done
