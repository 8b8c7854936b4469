#!/bin/sh
# Finishes the rescue system's tree and writes what goes on the CD.
#   customize.sh <tree> <out>
# Run by mmdebstrap as a customize hook (as root, or as the root of its user
# namespace in unshare mode, where the tree's owners are right only inside
# that namespace: so the squashing happens here too). <out> lies inside the
# tree, under /run, which the squashfs leaves out; mmdebstrap's sync-out
# copies it to the program folder afterwards. Writes into <out>:
#   vmlinuz, initrd.img   the signed kernel and its initramfs (live-boot's)
#   filesystem.squashfs   the tree without /boot
#   packages.versions     "<package> <version>" of every installed package
#   customize.sh --initramfs <tree>
# Run earlier, as the essential hook (before the kernel is installed): sets
# up how the kernel's initramfs is made, below.
set -eu
step() { echo "rescue: $*"; }

if [ "${1:-}" = --initramfs ]; then
  tree=$2
  step "setting up the initramfs"
  # The initramfs has one task: find the CD, the stick or the disk the
  # system lies on and mount it. Network and graphics drivers (about 50 of
  # its 166 MB of modules) load later from the squashfs, as udev finds the
  # hardware; without them the initramfs is a third of the size, which a
  # slow CD drive reads and the kernel unpacks that much sooner. zstd
  # (installed with the base packages) unpacks faster than gzip.
  mkdir -p "$tree/etc/initramfs-tools/hooks" "$tree/etc/initramfs-tools/conf.d"
  echo "COMPRESS=zstd" > "$tree/etc/initramfs-tools/conf.d/kivrescue"
  cat > "$tree/etc/initramfs-tools/hooks/kivrescue-lean" <<'HOOK'
#!/bin/sh
# The rescue CD's: leaves out of the initramfs the drivers a live medium is
# not found with (network, graphics, InfiniBand); the system loads them
# from its squashfs.
case "$1" in prereqs) exit 0 ;; esac
for d in net/ethernet net/wireless gpu infiniband; do
  rm -rf "${DESTDIR:?}${MODULESDIR:?}/kernel/drivers/$d"
done
HOOK
  chmod 755 "$tree/etc/initramfs-tools/hooks/kivrescue-lean"
  exit 0
fi

tree=$1
out=$2
mkdir -p "$out"

step "setting up the root shell and the greeting"
# A root shell on the screen and on the serial console without a password:
# the CD's menu password is what guards this system.
for unit in getty@tty1 serial-getty@ttyS0 serial-getty@ttyS1; do
  mkdir -p "$tree/etc/systemd/system/$unit.service.d"
  case $unit in
    serial-*) baud="--keep-baud 115200,57600,38400,9600 " ;;
    *) baud="--noclear " ;;
  esac
  cat > "$tree/etc/systemd/system/$unit.service.d/autologin.conf" <<UNIT
[Service]
ExecStart=
ExecStart=-/sbin/agetty --autologin root $baud%I \$TERM
UNIT
done

# live-boot writes its network settings there at start-up.
mkdir -p "$tree/etc/network"
echo kivrescue > "$tree/etc/hostname"
printf '127.0.0.1\tlocalhost\n127.0.1.1\tkivrescue\n' > "$tree/etc/hosts"

cat > "$tree/etc/motd" <<'MOTD'

Kiv Rescue CD - Linux rescue system (Debian)

  Windows disks   mount -t ntfs-3g /dev/nvme0n1p3 /mnt   ntfsfix   ntfsundelete
  Lost files      photorec   testdisk (lost partitions)
  Failing disks   ddrescue /dev/sda /mnt/disk.img /mnt/disk.map
  Passwords       chntpw -i /mnt/Windows/System32/config/SAM
  Disk health     smartctl -a /dev/sda   nvme smart-log /dev/nvme0
  Partitions      parted  gdisk  fdisk  mkfs.*  fsck.*  cryptsetup  lvm  mdadm
  Copying         cp  rsync  scp  mount -t cifs //pc/share /mnt -o user=name
  Finding disks   lsblk -f   blkid   lspci   lsusb

The CD's own files are in /run/live/medium (not there when the system was
copied into memory: then the CD or stick can be removed).
Type poweroff or reboot to leave.

MOTD

# Wired networks get an address by DHCP.
mkdir -p "$tree/etc/systemd/network" "$tree/etc/systemd/system/multi-user.target.wants"
cat > "$tree/etc/systemd/network/80-wired.network" <<'NET'
[Match]
Name=en* eth*

[Network]
DHCP=yes
NET
ln -sf /lib/systemd/system/systemd-networkd.service \
  "$tree/etc/systemd/system/multi-user.target.wants/systemd-networkd.service"

# Built from a folder of packages, the tree's apt source is the index the
# builder made for it, which is gone once the build ends: the running system
# gets Debian's own sources instead, for apt to add a tool where it has a
# network.
if grep -qs '^deb .*copy://' "$tree/etc/apt/sources.list"; then
  release=$(sed -n 's/^VERSION_CODENAME=//p' "$tree/etc/os-release")
  cat > "$tree/etc/apt/sources.list" <<SOURCES
deb http://deb.debian.org/debian $release main
deb http://deb.debian.org/debian $release-updates main
deb http://security.debian.org/debian-security $release-security main
SOURCES
fi

step "listing the installed packages"
dpkg-query --admindir="$tree/var/lib/dpkg" -W -f '${Package} ${Version}\n' > "$out/packages.versions"

step "taking out the kernel and the initramfs"
set -- "$tree"/boot/vmlinuz-*
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "rescue: expected one kernel in /boot, found: $*" >&2
  exit 1
fi
kernel=$1
initrd="$tree/boot/initrd.img-${kernel##*/vmlinuz-}"
if [ ! -f "$initrd" ]; then
  echo "rescue: the initramfs ${initrd#"$tree"} is missing" >&2
  exit 1
fi
cp "$kernel" "$out/vmlinuz"
cp "$initrd" "$out/initrd.img"

step "leaving out what a live system does not need"
# What apt, dpkg and ldconfig keep for the next install, logs and the
# machine's identity: the same packages then give the same squashfs.
rm -rf "$tree"/var/lib/apt/lists/* "$tree"/var/cache/apt/* "$tree"/var/cache/debconf/*-old \
  "$tree"/var/cache/ldconfig/aux-cache "$tree"/var/lib/dpkg/*-old
find "$tree/var/log" -type f -delete
: > "$tree/etc/machine-id"
rm -f "$tree/var/lib/dbus/machine-id"
# nvme-cli makes a random host id at install time; one CD starts many
# machines, and only NVMe over fabrics needs one (nvme gen-hostnqn).
rm -f "$tree/etc/nvme/hostnqn" "$tree/etc/nvme/hostid"

# mmdebstrap keeps the host's resolv.conf in the tree until its own clean-up,
# which comes after this hook: the system's own is systemd-resolved's.
if [ -e "$tree/lib/systemd/systemd-resolved" ]; then
  ln -sf ../run/systemd/resolve/stub-resolv.conf "$tree/etc/resolv.conf"
else
  : > "$tree/etc/resolv.conf"
fi

step "squashing the tree"
# The kernel and the initramfs go beside the squashfs; what the mounted
# file systems (proc, sys, dev) and the scratch folders hold stays out, the
# folders themselves stay as mount points.
# zstd level 9 in 256 KiB blocks: on this system it squashes seven times as
# fast as the default level 15 in 128 KiB blocks (10 s against 77 on two
# cores) for 1 % more size (162 MB against 160).
mksquashfs "$tree" "$out/filesystem.squashfs" -noappend -comp zstd -Xcompression-level 9 -b 256K -wildcards \
  -e 'boot/*' 'proc/*' 'sys/*' 'dev/*' 'run/*' 'tmp/*' 'var/tmp/*' 
