#!/usr/bin/env bash
# run-in-vm.sh - runs a test program against real kernel V4L2 drivers inside a
# throw-away qemu VM that boots Debian's stock kernel.
#
# Containers and CI hosts have no /dev/video* and cannot load kernel modules,
# so the V4L2 backend is tested in a VM: Debian's kernel package (fetched with
# `apt-get download`, unpacked, never installed), a busybox initramfs that
# loads the profile's modules (vivid, later a USB webcam on dummy_hcd), the
# program and the shared libraries it needs, software emulation (TCG).
#
# Usage:
#   run-in-vm.sh [options] [--] PROGRAM [ARGS...]
#
#   PROGRAM is a host ELF (dynamically linked is fine: it comes with the
#   dynamic loader and its ldd closure) or a busybox-sh script. In the VM it
#   runs as root in /out with stdin /dev/null; its stdout and stderr come out
#   on the host's stdout. Qt programs get the offscreen platform plugin, with
#   QT_QPA_PLATFORM=offscreen, and HOME/XDG folders under /tmp.
#
# Options:
#   --profile NAME    module set and parameters (default vivid):
#                       vivid         one vivid instance with a video capture,
#                                     a video output, metadata, VBI output and
#                                     touch nodes, error injection on (its
#                                     "Disconnect" button unplugs the camera
#                                     until its last user lets go), and
#                                     ALSA's loopback card (snd-aloop, one
#                                     subdevice per device: what device 0
#                                     plays, device 1 captures) as the
#                                     sound input to record from;
#                       vivid-webcam  only a single-planar capture node with
#                                     one webcam input, no error injection;
#                       uvc           a USB webcam for uvcvideo: dummy_hcd (a
#                                     software USB controller), gadgetfs
#                                     mounted on /dev/gadget, uvcvideo; the
#                                     camera itself is the --helper
#                                     (tests/vm/uvc-camera), and the wait is
#                                     for its metadata node, which uvcvideo
#                                     creates right after the capture node.
#   --modparam 'MOD=P=V ...'  parameters for module MOD, replacing the
#                     profile's (insmod syntax; "vivid.x=y" on the kernel
#                     command line would not reach an insmod'ed module).
#   --modules 'M ...' root modules to load, in order, each after its
#                     dependencies (replaces the profile's set).
#   --wait-for PATH   device node the profile waits for (default /dev/video0).
#   --helper PROG     a program (with its libraries) started in the background
#                     before PROGRAM, e.g. an emulated camera; its output goes
#                     to /out/helper.log. --helper-args 'A B' passes arguments.
#   --script FILE     a busybox-sh script run in place of PROGRAM ARGS; it
#                     finds the program as $VM_PROG and its arguments in "$@",
#                     and may call `vm-modules reload MOD [P=V...]` between
#                     runs (parameters given replace the profile's).
#   --env N=V         exported to PROGRAM (repeatable).
#   --add PATH        copied into the VM as /data/<basename> (repeatable; an ELF
#                     program loses its debug info on the way).
#   --out-dir DIR     after the run, copy what was written to /out into DIR.
#   --timeout SEC     kill the VM after SEC seconds (default 900) -> exit 124.
#   --mem MB          guest RAM (default 1536).
#   --compress none|gzip|xz  compression of the cached archives (default none:
#                     under TCG the guest unpacks plain cpio fastest; xz is
#                     slowest).
#   --kernel-args '..'  more kernel command line (e.g. "ignore_loglevel" to see
#                     every kernel message in the --console log).
#   --console FILE    keep the serial console log (kernel and init).
#   -v, --verbose     print the console log to stderr after the run.
#   --prepare         only fill the cache (kernel, modules, base archive).
#   --refresh         ask apt again which kernel is current.
#   -h, --help
#
# Environment:
#   VARNHOLT_VM_CACHE       cache folder, shared by every build folder
#                           (default ${XDG_CACHE_HOME:-~/.cache}/varnholt-vm)
#   VARNHOLT_VM_KERNEL_PKG  kernel package to use (default: the one
#                           linux-image-amd64 depends on, -unsigned preferred)
#
# Exit status: PROGRAM's; 124 timed out; 125 the VM could not run it (missing
# host tool or kernel, module failed to load, no device node, qemu failed).
#
# Host packages (scripts/setup-deps.sh): qemu-system-x86 busybox-static cpio
# xz-utils; the kernel download needs apt lists (apt-get update).
set -euo pipefail

CACHE=${VARNHOLT_VM_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/varnholt-vm}
PROFILE=vivid
PROFILE_SETUP=""
PROFILE_WAIT=/dev/video0
declare -A MODPARAMS=()
MODULES_OVERRIDE=""
WAIT_FOR=""
HELPER=""
HELPER_ARGS=""
SCRIPT=""
ENVS=()
ADD_PATHS=()
OUT_DIR=""
TIMEOUT=900
MEM=1536
COMPRESS=none
CONSOLE_KEEP=""
KARGS=""
VERBOSE=0
PREPARE_ONLY=0
REFRESH=0

die() {
  echo "run-in-vm: $*" >&2
  exit 125
}
note() { echo "run-in-vm: $*" >&2; }
usage() { sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}"; }
# Shell-quote for busybox sh.
shq() {
  local s=${1//\'/\'\\\'\'}
  printf "'%s'" "$s"
}
is_elf() { [[ $(head -c4 "$1" | od -An -c | tr -d ' ') == 177ELF ]]; }

while [[ $# -gt 0 ]]; do
  case $1 in
    --profile) PROFILE=$2; shift 2 ;;
    --modparam)
      [[ $2 == *=* ]] || die "--modparam wants MOD='P=V ...'"
      MODPARAMS[${2%%=*}]=${2#*=}; shift 2 ;;
    --modules) MODULES_OVERRIDE=$2; shift 2 ;;
    --wait-for) WAIT_FOR=$2; shift 2 ;;
    --helper) HELPER=$2; shift 2 ;;
    --helper-args) HELPER_ARGS=$2; shift 2 ;;
    --script) SCRIPT=$2; shift 2 ;;
    --env) [[ $2 == [A-Za-z_]*=* ]] || die "--env wants NAME=VALUE"; ENVS+=("$2"); shift 2 ;;
    --add) ADD_PATHS+=("$2"); shift 2 ;;
    --out-dir) OUT_DIR=$2; shift 2 ;;
    --timeout) TIMEOUT=$2; shift 2 ;;
    --mem) MEM=$2; shift 2 ;;
    --compress) COMPRESS=$2; shift 2 ;;
    --console) CONSOLE_KEEP=$2; shift 2 ;;
    --kernel-args) KARGS=$2; shift 2 ;;
    -v | --verbose) VERBOSE=1; shift ;;
    --prepare) PREPARE_ONLY=1; shift ;;
    --refresh) REFRESH=1; shift ;;
    -h | --help) usage; exit 0 ;;
    --) shift; break ;;
    -*) die "unknown option $1 (see --help)" ;;
    *) break ;;
  esac
done

if [[ $PREPARE_ONLY == 0 ]]; then
  [[ $# -ge 1 ]] || { usage >&2; exit 125; }
  PROG=$1
  shift
  [[ -f $PROG ]] || die "no such program: $PROG"
fi
[[ -z $SCRIPT || -f $SCRIPT ]] || die "no such script: $SCRIPT"
[[ -z $HELPER || -f $HELPER ]] || die "no such helper: $HELPER"
case $COMPRESS in gzip | xz | none) ;; *) die "--compress wants gzip, xz or none" ;; esac

# A profile is a set of root modules with their parameters and the node that
# shows they are ready.
case $PROFILE in
  vivid)
    # node_types: bit 0 video capture, 2 raw VBI capture (none for a webcam
    # input), 8 video output, 10 raw VBI output, 17/18 metadata capture and
    # output, 19 touch; not bit 16, whose framebuffer would pin the module.
    # One webcam input, single-planar.
    PROFILE_MODULES="vivid snd_aloop"
    : "${MODPARAMS[vivid]="n_devs=1 node_types=0xe0505 num_inputs=1 input_types=0x0 multiplanar=1 no_error_inj=0"}"
    : "${MODPARAMS[snd_aloop]="pcm_substreams=1"}"
    ;;
  vivid-webcam)
    PROFILE_MODULES="vivid"
    : "${MODPARAMS[vivid]="n_devs=1 node_types=0x1 num_inputs=1 input_types=0x0 multiplanar=1 no_error_inj=1"}"
    ;;
  uvc)
    # The kernel's own UVC gadget function cannot stream on dummy_hcd (it
    # wants an isochronous endpoint), so the camera is a userspace gadgetfs
    # program, started as the helper once gadgetfs is mounted.
    PROFILE_MODULES="dummy_hcd gadgetfs uvcvideo"
    PROFILE_SETUP="mkdir -p /dev/gadget && mount -t gadgetfs gadgetfs /dev/gadget"
    PROFILE_WAIT=/dev/video1
    [[ -n $HELPER || $PREPARE_ONLY == 1 ]] || die "profile uvc needs the emulated camera as --helper (build target varnholt_uvc_camera)"
    ;;
  *) die "unknown profile $PROFILE" ;;
esac
MODULES=${MODULES_OVERRIDE:-$PROFILE_MODULES}
WAIT_FOR=${WAIT_FOR:-$PROFILE_WAIT}

for t in qemu-system-x86_64 cpio gzip xz apt-get apt-cache dpkg-deb flock ldd; do
  command -v "$t" >/dev/null || die "missing host tool '$t': run scripts/setup-deps.sh (packages qemu-system-x86 busybox-static cpio xz-utils)"
done
BUSYBOX=/bin/busybox
[[ -x $BUSYBOX ]] || BUSYBOX=$(command -v busybox || true)
# ldd fails for a static binary, or says "statically linked" for static-pie.
is_static() {
  local out
  out=$(ldd "$1" 2>&1) || return 0
  [[ $out == *"statically linked"* ]]
}
if [[ -z $BUSYBOX || ! -x $BUSYBOX ]] || ! is_static "$BUSYBOX"; then
  die "need a static busybox (Debian package busybox-static): run scripts/setup-deps.sh"
fi

mkdir -p "$CACHE"
# Several runs (build folders, plain and sanitized halves) share the cache:
# only one fills it at a time.
exec 9>"$CACHE/.lock"
flock 9

# ------------------------------------------------------------------- kernel --
as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo -n "$@"; fi
}

resolve_kernel_pkg() {
  if [[ -n ${VARNHOLT_VM_KERNEL_PKG:-} ]]; then
    echo "$VARNHOLT_VM_KERNEL_PKG"
    return
  fi
  local meta
  meta=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/{print $2; exit}' || true)
  if [[ -z $meta ]]; then
    # No apt lists yet (a fresh machine): fetch them once.
    note "apt knows no linux-image-amd64; running apt-get update once"
    as_root apt-get update -qq >&2 || die "apt-get update failed; cannot find the kernel package"
    meta=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/{print $2; exit}' || true)
  fi
  [[ -n $meta ]] || die "apt does not know linux-image-amd64; cannot fetch the VM's kernel"
  # The unsigned image is the same kernel without the Secure Boot signature
  # wrapper, which the VM does not need.
  if apt-cache show "$meta-unsigned" >/dev/null 2>&1; then echo "$meta-unsigned"; else echo "$meta"; fi
}

# qemu boots the uncompressed ELF vmlinux through its PVH entry point
# (CONFIG_PVH=y in Debian's kernels); that skips the in-guest decompression,
# which costs several seconds under TCG.
extract_vmlinux() { # $1 = vmlinuz, $2 = output
  local off
  for off in $(LC_ALL=C grep -obUa $'\xfd7zXZ' "$1" | cut -d: -f1); do
    # (tail dies of SIGPIPE once xz stops after the first stream; check the
    # result instead of the pipeline's status.)
    { tail -c +$((off + 1)) "$1" | xz -dc --single-stream >"$2"; } 2>/dev/null || true
    if is_elf "$2"; then return 0; fi
  done
  rm -f "$2"
  return 1
}

decompress_module() { # busybox insmod reads only plain .ko files
  case $1 in
    *.ko.xz) xz -dc "$1" ;;
    *.ko.zst) zstd -qdc "$1" ;;
    *.ko.gz) gzip -dc "$1" ;;
    *) cat "$1" ;;
  esac
}

# The kernel folder keeps the image, the package (module sets are taken from
# it as profiles need them) and an index of every module: name, path and
# the modules it depends on.
prepare_kernel() {
  local pkg ver dir="" tmp kver f
  if [[ $REFRESH == 0 ]]; then
    if [[ -n ${VARNHOLT_VM_KERNEL_PKG:-} ]]; then
      for f in "$CACHE/kernel/${VARNHOLT_VM_KERNEL_PKG}"_*/.complete; do
        [[ -f $f ]] && dir=${f%/.complete}
      done
    elif [[ -f $CACHE/kernel/current ]]; then
      dir=$CACHE/kernel/$(cat "$CACHE/kernel/current")
      [[ -f $dir/.complete ]] || dir=""
    fi
  fi
  if [[ -z $dir ]]; then
    pkg=$(resolve_kernel_pkg)
    ver=$(apt-cache show "$pkg" 2>/dev/null | awk '/^Version:/{print $2; exit}' || true)
    [[ -n $ver ]] || die "apt does not know $pkg (apt-get update?)"
    dir=$CACHE/kernel/${pkg}_${ver}
  fi
  if [[ ! -f $dir/.complete ]]; then
    note "fetching $pkg $ver from the Debian archive (once per kernel version)..."
    rm -rf "$dir"
    tmp=$dir.tmp
    rm -rf "$tmp"
    mkdir -p "$tmp/dl"
    # As root, apt-get download warns that the _apt user cannot write here.
    if ! (cd "$tmp/dl" && apt-get download -q -o APT::Sandbox::User=root "$pkg=$ver" >&2); then
      note "apt-get download failed; refreshing the apt lists once and retrying"
      as_root apt-get update -qq >&2 || true
      (cd "$tmp/dl" && apt-get download -q -o APT::Sandbox::User=root "$pkg=$ver" >&2) ||
        die "apt-get download $pkg=$ver failed"
    fi
    dpkg-deb -x "$tmp"/dl/*.deb "$tmp/root"
    kver=$(ls "$tmp/root/lib/modules")
    # One pass over all modules: .modinfo holds NUL-separated key=value
    # strings, so grep finds each module's "depends=" without kmod.
    (cd "$tmp/root/lib/modules/$kver" && find kernel -name '*.ko*' | LC_ALL=C sort) >"$tmp/paths"
    (cd "$tmp/root/lib/modules/$kver" &&
      LC_ALL=C grep -a -o -H 'depends=[A-Za-z0-9_,-]*' -r kernel --include='*.ko*' || true) >"$tmp/deps"
    awk -F: 'NR == FNR { d[$1] = substr($2, 9); next }
             { n = $0; sub(/.*\//, "", n); sub(/\.ko.*/, "", n); gsub(/-/, "_", n);
               print n, $0, (d[$0] == "" ? "-" : d[$0]) }' "$tmp/deps" "$tmp/paths" >"$tmp/index"
    mkdir -p "$dir"
    mv "$tmp/index" "$dir/modules.index"
    mv "$tmp"/dl/*.deb "$dir/kernel.deb"
    echo "$kver" >"$dir/kver"
    cp "$tmp"/root/boot/vmlinuz-* "$dir/vmlinuz"
    if grep -q '^CONFIG_PVH=y' "$tmp"/root/boot/config-* && extract_vmlinux "$dir/vmlinuz" "$dir/vmlinux"; then
      rm "$dir/vmlinuz"
    fi
    rm -rf "$tmp" # the unpacked package is ~400 MB
    touch "$dir/.complete"
  fi
  if [[ -z ${VARNHOLT_VM_KERNEL_PKG:-} ]]; then
    mkdir -p "$CACHE/kernel"
    echo "${dir##*/}" >"$CACHE/kernel/current"
  fi
  KDIR=$dir
  KIMG=$dir/vmlinux
  [[ -f $KIMG ]] || KIMG=$dir/vmlinuz
}

declare -A SEEN=() MODPATH=() MODDEPS=()
MODORDER=()
# Depth-first post-order over the index's dependencies: every module comes
# after the modules it needs, the order insmod wants.
add_module_rec() {
  local name=${1//-/_} dep
  [[ -n ${SEEN[$name]:-} ]] && return
  SEEN[$name]=1
  [[ -n ${MODPATH[$name]:-} ]] || die "module $name is not in the kernel package"
  if [[ ${MODDEPS[$name]} != - ]]; then
    for dep in ${MODDEPS[$name]//,/ }; do add_module_rec "$dep"; done
  fi
  MODORDER+=("$name")
}

# The profile's modules, decompressed, with their load order.
prepare_modules() {
  local key n p d m members=()
  key=$(echo "$KDIR $MODULES" | cksum | cut -d' ' -f1)
  MODDIR=$KDIR/modules-$key
  [[ -f $MODDIR/load-order ]] && return
  while read -r n p d; do
    MODPATH[$n]=$p
    MODDEPS[$n]=$d
  done <"$KDIR/modules.index"
  for m in $MODULES; do add_module_rec "$m"; done
  local tmp=$MODDIR.tmp kver
  kver=$(cat "$KDIR/kver")
  rm -rf "$tmp"
  mkdir -p "$tmp/x"
  for m in "${MODORDER[@]}"; do members+=("./lib/modules/$kver/${MODPATH[$m]}"); done
  dpkg-deb --fsys-tarfile "$KDIR/kernel.deb" | tar -x -C "$tmp/x" "${members[@]}" ||
    die "cannot take the modules ${MODORDER[*]} out of the kernel package"
  for m in "${MODORDER[@]}"; do
    decompress_module "$tmp/x/lib/modules/$kver/${MODPATH[$m]}" >"$tmp/$m.ko"
    echo "$m" >>"$tmp/load-order"
  done
  rm -rf "$tmp/x"
  rm -rf "$MODDIR"
  mv "$tmp" "$MODDIR"
}

# ------------------------------------------------------------- archives --
compress() {
  case $COMPRESS in
    gzip) gzip -1 ;;
    xz) xz -0 --check=crc32 -T1 ;; # the kernel's xz wants crc32
    none) cat ;;
  esac
}
# The kernel finds an appended archive only at a 4-byte-aligned offset and
# skips the zero padding in between.
pad4() {
  local size
  size=$(wc -c <"$1")
  head -c $(((4 - size % 4) % 4)) /dev/zero >>"$1"
}
pack() { # $1 = folder, $2 = archive
  (cd "$1" && find . | LC_ALL=C sort | cpio -o -H newc --quiet -R 0:0) | compress >"$2.tmp"
  pad4 "$2.tmp"
  mv "$2.tmp" "$2"
}

# /init of the VM. Serial ports: ttyS0 kernel console and init messages (host:
# console log), ttyS1 the program's output (host: stdout), ttyS2 /out as a
# base64 tar (host: file).
write_init() {
  cat >"$1" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin TMPDIR=/tmp TERM=dumb
mount -t proc proc /proc; mount -t sysfs sys /sys
mount -t devtmpfs dev /dev; mount -t tmpfs tmp /tmp
echo "VM: init started at uptime $(cut -d' ' -f1 /proc/uptime) s"
stty -F /dev/ttyS1 raw -echo; stty -F /dev/ttyS2 raw -echo
fatal() { echo "VM: $*"; echo "VM-EXIT-CODE=125"; poweroff -f; }
for m in $(cat /modules/load-order); do
  vm-modules load "$m" || fatal "insmod $m failed"
done
mkdir -p /out /tmp/home /tmp/runtime; chmod 700 /tmp/runtime; cd /out
. /test/env
if [ -f /test/setup ]; then . /test/setup || fatal "the profile's setup failed: $(cat /test/setup)"; fi
# The helper comes before the wait: an emulated USB camera is what makes
# its node appear.
if [ -x /test/helper ]; then
  /test/helper $(cat /test/helper-args) </dev/null >/out/helper.log 2>&1 &
fi
want=$(cat /test/wait-for)
i=0; while [ ! -e "$want" ] && [ $i -lt 150 ]; do usleep 100000; i=$((i+1)); done
[ -e "$want" ] || { dmesg | tail -20; cat /out/helper.log 2>/dev/null; fatal "no $want after loading the modules"; }
echo "VM: devices ready at uptime $(cut -d' ' -f1 /proc/uptime) s:" \
     $(ls /dev/video* /dev/media* /dev/vbi* /dev/v4l-* /dev/snd/* 2>/dev/null)
echo "VM: program start at uptime $(cut -d' ' -f1 /proc/uptime) s"
sh /test/cmd </dev/null >/dev/ttyS1 2>&1
rc=$?
echo "VM: program end at uptime $(cut -d' ' -f1 /proc/uptime) s"
if [ -f /test/want-out ]; then
  { echo "VM-OUT-BEGIN"; tar -C /out -cf - . | gzip -1 | base64; echo "VM-OUT-END"; } >/dev/ttyS2
fi
dmesg | grep -iE 'BUG|WARN|Oops|Call Trace' | tail -40
echo "VM-EXIT-CODE=$rc"
sync; poweroff -f
EOF
  # Loads, unloads or reloads one module with its parameters, for scripts
  # that need a fresh device (a disconnected vivid instance stays gone);
  # parameters after a reload's module replace the profile's.
  cat >"$2" <<'EOF'
#!/bin/sh
case $1 in
  load) insmod /modules/$2.ko $(cat /modules/$2.params 2>/dev/null) ;;
  unload) rmmod "$2" ;;
  reload)
    m=$2; shift 2
    params=${*:-$(cat /modules/$m.params 2>/dev/null)}
    rmmod "$m" || exit 1
    # shellcheck disable=SC2086 # the parameters are words
    insmod /modules/$m.ko $params || exit 1
    want=$(cat /test/wait-for); i=0
    while [ ! -e "$want" ] && [ $i -lt 100 ]; do usleep 100000; i=$((i+1)); done
    [ -e "$want" ] ;;
  *) echo "usage: vm-modules load|unload MODULE, or reload MODULE [PARAM=VALUE...]" >&2; exit 2 ;;
esac
EOF
  chmod +x "$1" "$2"
}

# The kernel, the modules and busybox: rebuilt when one of them or this
# script changes.
build_base() {
  local key r
  key=$({ echo "$KDIR $MODDIR $COMPRESS"; cat "${BASH_SOURCE[0]}"; cksum <"$BUSYBOX"; } | cksum | cut -d' ' -f1)
  BASE=$CACHE/base-$key.cpio
  if [[ -f $BASE ]]; then touch "$BASE"; return; fi
  find "$CACHE" -maxdepth 1 -name 'base-*.cpio' -mtime +7 -delete 2>/dev/null || true
  r=$(mktemp -d "$CACHE/rootfs.XXXXXX")
  mkdir -p "$r"/{bin,dev,proc,sys,tmp,out,test,modules,data,usr/bin}
  cp "$BUSYBOX" "$r/bin/busybox"
  ln -s busybox "$r/bin/sh"
  write_init "$r/init" "$r/bin/vm-modules"
  # Qt asks fontconfig at start; an empty configuration keeps it quiet.
  mkdir -p "$r/etc/fonts"
  echo '<?xml version="1.0"?><fontconfig></fontconfig>' >"$r/etc/fonts/fonts.conf"
  cp "$MODDIR"/*.ko "$MODDIR/load-order" "$r/modules/"
  pack "$r" "$BASE"
  rm -rf "$r"
}

# The shared libraries of the program (and helper), with the dynamic loader
# and Qt's offscreen platform plugin, in their host paths. They are the heavy
# part (ICU, Qt, the sanitizer runtimes), so the archive is kept and reused
# while the list of files and their times stay the same. Libraries from
# outside the system's folders (a build tree's own) change with every build:
# they travel with the program, in the per-run archive.
LIB_FILES=()
OWN_LIBS=()
collect_libs() { # $1 = ELF
  local lib
  ! is_static "$1" || return 0 # nothing to bring
  if ldd "$1" | grep -q 'not found'; then
    die "$1 needs libraries this host lacks: $(ldd "$1" | grep 'not found' | tr -s ' \t\n' ' ')"
  fi
  for lib in $(ldd "$1" | awk '/=> \//{print $3} /^[ \t]*\/.*ld-linux/{print $1}'); do
    case $lib in
      /lib/* | /lib64/* | /usr/*) LIB_FILES+=("$lib") ;;
      *) OWN_LIBS+=("$lib") ;;
    esac
  done
}
build_libs() {
  local elf qtcore plugin="" key r f
  LIBS=""
  # Added programs and modules bring their libraries too.
  for elf in "$PROG" ${HELPER:+"$HELPER"} ${ADD_PATHS[@]+"${ADD_PATHS[@]}"}; do
    [[ -f $elf ]] && is_elf "$elf" && collect_libs "$elf"
  done
  [[ ${#LIB_FILES[@]} -gt 0 ]] || return 0
  qtcore=$(printf '%s\n' "${LIB_FILES[@]}" | grep -m1 '/libQt6Core\.so' || true)
  if [[ -n $qtcore ]]; then
    plugin=$(dirname "$(readlink -f "$qtcore")")/qt6/plugins/platforms/libqoffscreen.so
    [[ -f $plugin ]] || die "Qt program but no offscreen plugin at $plugin (package libqt6gui6)"
    collect_libs "$plugin"
    LIB_FILES+=("$plugin")
  fi
  mapfile -t LIB_FILES < <(printf '%s\n' "${LIB_FILES[@]}" | LC_ALL=C sort -u)
  key=$({ echo "$COMPRESS"; for f in "${LIB_FILES[@]}"; do stat -L -c '%n %s %Y' "$f"; done; } | cksum | cut -d' ' -f1)
  LIBS=$CACHE/libs-$key.cpio
  if [[ -f $LIBS ]]; then touch "$LIBS"; return; fi
  find "$CACHE" -maxdepth 1 -name 'libs-*.cpio' -mtime +7 -delete 2>/dev/null || true
  note "packing ${#LIB_FILES[@]} shared libraries for the VM (kept until they change)"
  r=$(mktemp -d "$CACHE/libs.XXXXXX")
  for f in "${LIB_FILES[@]}"; do
    install -D -m755 "$(readlink -f "$f")" "$r$f"
  done
  if [[ -n $plugin ]]; then
    mkdir -p "$r/usr/lib/qt6/plugins/platforms"
    ln -s "$plugin" "$r/usr/lib/qt6/plugins/platforms/libqoffscreen.so"
  fi
  pack "$r" "$LIBS"
  rm -rf "$r"
}

prepare_kernel
prepare_modules
build_base
if [[ $PREPARE_ONLY == 1 ]]; then
  note "cache ready in $CACHE: kernel $(cat "$KDIR/kver"), modules $(tr '\n' ' ' <"$MODDIR/load-order")"
  exit 0
fi
build_libs
flock -u 9

# ------------------------------------------------------------------ per run --
WORK=$(mktemp -d "${TMPDIR:-/tmp}/varnholt-vm.XXXXXX")
QPID=""
cleanup() {
  if [[ -n $QPID ]]; then kill "$(cat "$WORK/qemu.pid" 2>/dev/null)" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The small per-run archive: program, command, parameters. The kernel
# unpacks concatenated archives in order, each over the ones before.
o=$WORK/overlay
mkdir -p "$o/test" "$o/modules" "$o/data"
# Debug info is most of a test binary's size and would cross the VM's
# memory for nothing; symbols stay for backtraces.
put_elf() { if is_elf "$1"; then strip --strip-debug -o "$2" "$1"; else cp "$1" "$2"; fi; chmod 755 "$2"; }
put_elf "$PROG" "$o/test/prog"
{
  echo "export HOME=/tmp/home XDG_RUNTIME_DIR=/tmp/runtime XDG_CONFIG_HOME=/tmp/home/.config"
  echo "export LD_LIBRARY_PATH=/test/lib:/lib/x86_64-linux-gnu:/usr/lib/x86_64-linux-gnu"
  echo "export QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORM_PLUGIN_PATH=/usr/lib/qt6/plugins/platforms"
  echo "export VM_PROG=/test/prog"
  for e in "${ENVS[@]+"${ENVS[@]}"}"; do printf 'export %s=%s\n' "${e%%=*}" "$(shq "${e#*=}")"; done
} >"$o/test/env"
ARGS_SH=$(for a in "$@"; do printf ' %s' "$(shq "$a")"; done)
if [[ -n $SCRIPT ]]; then
  # The script sees the program's arguments as its own "$@".
  { echo "set --$ARGS_SH"; cat "$SCRIPT"; } >"$o/test/cmd"
else
  echo "exec /test/prog$ARGS_SH" >"$o/test/cmd"
fi
if [[ -n $HELPER ]]; then
  put_elf "$HELPER" "$o/test/helper"
  printf '%s\n' "$HELPER_ARGS" >"$o/test/helper-args"
fi
for m in "${!MODPARAMS[@]}"; do printf '%s\n' "${MODPARAMS[$m]}" >"$o/modules/$m.params"; done
echo "$WAIT_FOR" >"$o/test/wait-for"
if [[ -n $PROFILE_SETUP ]]; then printf '%s\n' "$PROFILE_SETUP" >"$o/test/setup"; fi
if [[ -n $OUT_DIR ]]; then touch "$o/test/want-out"; fi
# An added program loses its debug info too, as PROGRAM does.
for p in "${ADD_PATHS[@]+"${ADD_PATHS[@]}"}"; do
  if [[ -f $p ]] && is_elf "$p"; then put_elf "$p" "$o/data/${p##*/}"; else cp -a "$p" "$o/data/"; fi
done
# In a folder of their own at the head of the search path: their host
# folders, which the programs' run paths name, may lie below one the guest
# mounts afresh (/tmp).
mkdir -p "$o/test/lib"
if [[ ${#OWN_LIBS[@]} -gt 0 ]]; then
  mapfile -t OWN_LIBS < <(printf '%s\n' "${OWN_LIBS[@]}" | LC_ALL=C sort -u)
  for f in "${OWN_LIBS[@]}"; do put_elf "$(readlink -f "$f")" "$o/test/lib/${f##*/}"; done
fi
(cd "$o" && find . | LC_ALL=C sort | cpio -o -H newc --quiet -R 0:0) >"$WORK/overlay.cpio"
cat "$BASE" ${LIBS:+"$LIBS"} "$WORK/overlay.cpio" >"$WORK/initrd"

: >"$WORK/console.log"
: >"$WORK/out.b64"
T0=$(date +%s.%N)
# TCG: /dev/kvm cannot run a stock kernel on these hosts. panic=-1 with
# -no-reboot ends qemu on a guest panic instead of hanging. The emulated
# timers are trustworthy, so the kernel skips checking them (a second or
# more of boot under emulation). (qemu runs in a
# subshell whose stderr is a file, so a crash notice lands there too.)
(
  timeout -k 5 "$TIMEOUT" qemu-system-x86_64 \
    -accel tcg -cpu max -m "$MEM" -smp 1 \
    -nodefaults -no-user-config -display none -vga none -nic none \
    -kernel "$KIMG" -initrd "$WORK/initrd" \
    -append "console=ttyS0 quiet loglevel=4 panic=-1 mitigations=off no_timer_check tsc=reliable $KARGS" \
    -chardev file,id=con,path="$WORK/console.log" -serial chardev:con \
    -chardev stdio,id=out,signal=off -serial chardev:out \
    -chardev file,id=xfer,path="$WORK/out.b64" -serial chardev:xfer \
    -monitor none -no-reboot -pidfile "$WORK/qemu.pid" </dev/null
  exit $?
) 2>"$WORK/qemu.err" &
QPID=$!
QS=0
wait "$QPID" 2>/dev/null || QS=$?
QPID=""
T1=$(date +%s.%N)

tr -d '\r' <"$WORK/console.log" >"$WORK/console.txt"
if [[ -n $CONSOLE_KEEP ]]; then cp "$WORK/console.txt" "$CONSOLE_KEEP"; fi
if [[ $VERBOSE == 1 ]]; then
  { echo "----- console -----"; cat "$WORK/console.txt" "$WORK/qemu.err"; echo "-----"; } >&2
fi
RC=$(sed -n 's/^VM-EXIT-CODE=\([0-9]*\)$/\1/p' "$WORK/console.txt" | tail -n1)
if [[ $VERBOSE == 0 ]] && grep -qE 'BUG:|Oops|WARNING:|Kernel panic' "$WORK/console.txt"; then
  note "the guest kernel reported a problem (-v or --console FILE shows it):"
  grep -E 'BUG:|Oops|WARNING:|Kernel panic' "$WORK/console.txt" | head -n 5 >&2
fi
if [[ -n $OUT_DIR ]]; then
  mkdir -p "$OUT_DIR"
  if grep -q VM-OUT-END "$WORK/out.b64"; then
    sed -n '/VM-OUT-BEGIN/,/VM-OUT-END/{/VM-OUT/d;p}' "$WORK/out.b64" | tr -d '\r' | base64 -d |
      gzip -dc | tar -C "$OUT_DIR" -xf -
  else
    note "no /out archive came back"
  fi
fi
note "$(awk -v t0="$T0" -v t1="$T1" -v s="$(grep -o 'program start at uptime [0-9.]*' "$WORK/console.txt" | awk '{print $5}')" \
  'BEGIN{printf "VM ran %.1f s (program started at guest uptime %s s)", t1 - t0, (s == "" ? "?" : s)}')"
if [[ -z $RC ]]; then
  if [[ $QS == 124 || $QS == 137 ]]; then
    note "timed out after ${TIMEOUT}s"
    exit 124
  fi
  note "the VM ended without an exit status (qemu status $QS); console tail:"
  [[ $VERBOSE == 1 ]] || tail -n 30 "$WORK/console.txt" "$WORK/qemu.err" >&2
  exit 125
fi
exit "$RC"
