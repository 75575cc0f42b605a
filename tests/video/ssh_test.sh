#!/usr/bin/env bash
# brenvik-video with its frames encoded on "another machine": an OpenSSH
# server started for the test on a loopback port, reached with a key made for
# the test, must give the same container as a local run, and leave nothing
# behind on the far side. Exit 77 (skipped) only where sshd cannot start.
set -uo pipefail
BIN=$(readlink -f "$1")
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/video-ssh-test.XXXXXX")
sshd_pid=""
login=""
cleanup() {
  if [[ -n $login ]]; then
    # shellcheck disable=SC2086  # the login is words: the ssh command and the host
    $login -O exit 2>/dev/null
  fi
  if [[ -n $sshd_pid ]]; then
    kill "$sshd_pid" 2>/dev/null
    wait "$sshd_pid" 2>/dev/null
  fi
  rm -rf -- "$SCRATCH"
}
trap cleanup EXIT
# shellcheck source=tests/video/video_test_support.sh
source "$(dirname "$0")/video_test_support.sh"
cd "$SCRATCH" || exit 1

skip() {
  printf 'SKIPPED: %s\n' "$*"
  exit 77
}

sshd=/usr/sbin/sshd
[[ -x $sshd ]] || skip "no $sshd (Debian package openssh-server)"
command -v rsync >/dev/null || must "rsync is installed (GNU parallel's transfers need it)" false

mkdir -p ssh
ssh-keygen -q -t ed25519 -N '' -f ssh/host_key || must "make a host key" false
ssh-keygen -q -t ed25519 -N '' -f ssh/user_key || must "make a user key" false
cp ssh/user_key.pub ssh/authorized_keys
chmod 600 ssh/authorized_keys
# sshd wants its privilege-separation folder; a Debian install makes it at boot.
mkdir -p /run/sshd 2>/dev/null
user=$(id -un)
cat >ssh/sshd_config <<EOF
ListenAddress 127.0.0.1
HostKey $SCRATCH/ssh/host_key
PidFile $SCRATCH/ssh/sshd.pid
AuthorizedKeysFile $SCRATCH/ssh/authorized_keys
AllowUsers $user
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
# The far side's commands run without the account's own shell start-up
# files: bash reads ~/.bashrc for a command over ssh only in a top-level
# shell, and a set SHLVL tells it it is not one. A slow or locked start-up
# there (a version manager rehashing on every login, say) would otherwise
# cost every one of the test's many connections.
SetEnv SHLVL=1
EOF
"$sshd" -t -f ssh/sshd_config 2>ssh/config_check.txt ||
  skip "sshd refuses a minimal configuration here: $(<ssh/config_check.txt)"

ssh_command=(ssh -i "$SCRATCH/ssh/user_key" -o IdentitiesOnly=yes -o BatchMode=yes
  -o StrictHostKeyChecking=yes -o UserKnownHostsFile="$SCRATCH/ssh/known_hosts"
  -o ConnectTimeout=10)
# A free port: the first of a few that a started server keeps listening on.
started=0
for port in $((20000 + RANDOM % 20000)) $((20000 + RANDOM % 20000)) $((20000 + RANDOM % 20000)); do
  "$sshd" -D -e -f ssh/sshd_config -p "$port" 2>ssh/sshd.log &
  sshd_pid=$!
  printf '[127.0.0.1]:%d %s\n' "$port" "$(cut -d' ' -f1,2 ssh/host_key.pub)" >ssh/known_hosts
  for _ in $(seq 50); do
    if "${ssh_command[@]}" -p "$port" "$user@127.0.0.1" true 2>/dev/null; then
      started=1
      break
    fi
    kill -0 "$sshd_pid" 2>/dev/null || break
    sleep 0.2
  done
  ((started)) && break
  kill "$sshd_pid" 2>/dev/null
  wait "$sshd_pid" 2>/dev/null
  sshd_pid=""
done
((started)) || skip "sshd does not start or cannot be reached on 127.0.0.1: $(tail -n 3 ssh/sshd.log)"
# One shared connection carries every job's transfers and commands.
ssh_command+=(-o ControlMaster=auto -o ControlPath="$SCRATCH/ssh/%C" -o ControlPersist=30)
login="${ssh_command[*]} -p $port $user@127.0.0.1"
# shellcheck disable=SC2016  # $HOME of the far side
home=$("${ssh_command[@]}" -p "$port" "$user@127.0.0.1" 'printf %s "$HOME"')

# Every frame makes several ssh connections: a short clip keeps the test quick.
must "make the clip" make_clip clip.mkv 0.48
frames=12
# Runs brenvik-video with the arguments; its process id names its remote work
# folders, so what it leaves behind is told apart from other runs' folders.
run_video() {
  "$BIN/brenvik-video" "$@" >"$SCRATCH/summary.txt" &
  run_pid=$!
  wait "$run_pid"
  local status=$?
  summary=$(cat "$SCRATCH/summary.txt")
  return $status
}
left_on_far_side() {
  find "$home" -maxdepth 1 -name ".brenvik-video-*-$run_pid-*"
}
local_summary=$("$BIN/brenvik-video" clip.mkv local.ZRP --quality=0) ||
  must "local run succeeds" false

# The encoder sent along for the run (the default).
run_video clip.mkv remote.ZRP --quality=0 --sshlogin="$login" --workdir=work --keep ||
  must "run through ssh succeeds" false
check "every frame encoded over ssh" equal "$(field encoded "$summary")" $frames
check "same container as the local run" cmp -s local.ZRP remote.ZRP
check "both picture twins came back" equal "$(find work -name '*.bVK' | wc -l)" $((2 * frames))
check "no encoder copy left here" test ! -e work/brenvik
check "nothing left on the far side" equal "$(left_on_far_side)" ""

# The encoder already on the far machine, by its absolute path there; the frames
# go over ssh as before.
run_video clip.mkv installed.ZRP --quality=0 --sshlogin="$login" \
  --remote-encoder="$BIN/brenvik" || must "run with the installed encoder succeeds" false
check "same container with the installed encoder" cmp -s local.ZRP installed.ZRP
check "nothing left on the far side either" equal "$(left_on_far_side)" ""

# This machine and the far one together: ":" runs jobs here.
summary=$("$BIN/brenvik-video" clip.mkv both.ZRP --quality=0 --sshlogin="$login" --sshlogin=:) ||
  must "run with both machines succeeds" false
check "same container with both machines" cmp -s local.ZRP both.ZRP

# A far machine without the encoder named: the frame's failure is reported.
"$BIN/brenvik-video" clip.mkv missing.ZRP --quality=0 --sshlogin="$login" \
  --remote-encoder=/nonexistent/brenvik >/dev/null 2>err.txt
check "missing far encoder: exit 1" equal "$?" 1
check "missing far encoder: frame named" grep -qE "frame frame[0-9]{5}\.bmp could not be encoded" err.txt
check "missing far encoder: no container" test ! -e missing.ZRP
check "local summary was a full run" equal "$(field encoded "$local_summary")" $frames

finish_case
