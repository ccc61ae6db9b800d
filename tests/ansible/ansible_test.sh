#!/usr/bin/env bash
# The collection telviq.cameras as a site's box runs it: Debian's ansible-playbook against
# localhost with a local connection, in a network namespace joined only to virtual cameras, as an
# unprivileged user (only the namespaces need root). What the cameras receive is read from their
# log.
#
#   ansible_test.sh TELVIQ_CLI VIRTUAL_CAMERAS COLLECTIONS_PATH
# Exit status 77 means skipped.
set -euo pipefail
cli=$1
virtual_cameras=$2
collections=$3
top=$(cd "$(dirname "$0")/../.." && pwd)

skip() {
    echo "SKIP: $*"
    exit 77
}
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
for tool in ansible-playbook ansible-doc; do
    command -v "$tool" >/dev/null || skip "$tool is missing (apt-get install ansible-core)"
done
[ -f "$collections/ansible_collections/telviq/cameras/MANIFEST.json" ] ||
    skip "the collection was not built (it needs ansible-galaxy at build time)"

work=$(mktemp -d /tmp/telviq-ansible-test.XXXXXX)
lab=
camera_pid=
poller_pid=
cleanup() {
    local status=$?
    for pid in $poller_pid $camera_pid; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    [ -z "$lab" ] || bash "$top/tools/netns-lab.sh" down "$lab" 2>/dev/null || true
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

# What ansible finds: the built collection, and telviq-cli on the PATH; nothing of the caller's
# configuration.
mkdir -p "$work/bin" "$work/home" "$work/tmp"
cp -r "$collections" "$work/collections"
install -m 755 "$cli" "$work/bin/telviq-cli"
install -m 755 "$virtual_cameras" "$work/bin/telviq-virtual-cameras"
ansible_env=(env -i "PATH=$work/bin:/usr/bin:/bin" "HOME=$work/home" LANG=C.UTF-8
    "ANSIBLE_COLLECTIONS_PATH=$work/collections" "ANSIBLE_LOCAL_TEMP=$work/tmp"
    "ANSIBLE_REMOTE_TEMP=$work/tmp" ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
    ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3)

# Each module's documentation reads, with its examples and return values.
for module in find camera addresses; do
    said=$("${ansible_env[@]}" ansible-doc -t module "telviq.cameras.$module" 2>&1) || {
        echo "$said" >&2
        fail "ansible-doc telviq.cameras.$module"
        continue
    }
    for part in 'OPTIONS' 'EXAMPLES:' 'RETURN VALUES:'; do
        grep -q "^$part" <<<"$said" || fail "ansible-doc telviq.cameras.$module has no $part"
    done
done

[ "$(id -u)" -eq 0 ] || skip "the lab's network namespaces need root"
for tool in ip setpriv; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
chown -R 65534:65534 "$work"

lab=tvqans$$
bash "$top/tools/netns-lab.sh" up "$lab" >/dev/null

cat >"$work/cameras.conf" <<'EOF'
[camera]
macAddress = 02-00-5E-00-00-01
cameraDescription = Front door
networkType = 2
hour = 6
[camera]
macAddress = 02-00-5E-00-00-02
cameraDescription = Yard
EOF
ip netns exec "$lab-cam" setpriv --reuid=65534 --regid=65534 --clear-groups -- \
    "$work/bin/telviq-virtual-cameras" --file "$work/cameras.conf" --log >"$work/cameras.log" 2>&1 &
camera_pid=$!
for _ in $(seq 50); do
    grep -q '^ready' "$work/cameras.log" && break
    sleep 0.1
done
grep -q '^ready' "$work/cameras.log" || { cat "$work/cameras.log" >&2; fail "no virtual cameras"; exit 1; }

# The cameras' log from a mark on: what they received since.
mark() { wc -l <"$work/cameras.log"; }
since() { tail -n "+$(($1 + 1))" "$work/cameras.log"; }
parameter_packets() { since "$1" | grep -cE 'parameters for|on the parameter port' || true; }

# play NAME [OPTION...]: runs NAME.yml in the pc namespace; its output goes to NAME.out.
play() {
    local name=$1
    shift
    (cd "$work" && ip netns exec "$lab-pc" setpriv --reuid=65534 --regid=65534 --clear-groups -- \
        "${ansible_env[@]}" ansible-playbook -i localhost, -c local "$@" "$name.yml") \
        >"$work/$name.out" 2>&1
}
recap() { grep -oE "$2=[0-9]+" "$work/$1.out" | tail -n 1; }
show() { sed "s/^/  $1: /" "$work/$1.out" >&2; }

cat >"$work/settings.yml" <<'EOF'
- hosts: localhost
  gather_facts: false
  tasks:
    - telviq.cameras.find:
      register: found
    - ansible.builtin.assert:
        that: found.cameras | map(attribute='macAddress') | sort == ['02-00-5E-00-00-01', '02-00-5E-00-00-02']
    - telviq.cameras.camera:
        mac: 02-00-5E-00-00-01
        settings:
          cameraDescription: Loading bay
          hour: 7
          networkType: dhcp
EOF
# The first run writes the one camera; the second finds it holding the settings and sends nothing.
start=$(mark)
play settings || { show settings; fail "settings: the first run failed"; }
[ "$(recap settings changed)" = changed=1 ] || { show settings; fail "settings: the first run changed nothing"; }
since "$start" | grep -q 'parameters for 02-00-5E-00-00-01' || fail "settings: camera 1 was not written"
[ "$(parameter_packets "$start")" = 1 ] || fail "settings: $(parameter_packets "$start") packets, not 1"
start=$(mark)
play settings || { show settings; fail "settings: the second run failed"; }
[ "$(recap settings changed)" = changed=0 ] || { show settings; fail "settings: the second run changed something"; }
[ "$(parameter_packets "$start")" = 0 ] || fail "settings: the second run sent a packet"

# Check mode with --diff: the one field that differs, and nothing sent.
cat >"$work/diff.yml" <<'EOF'
- hosts: localhost
  gather_facts: false
  tasks:
    - telviq.cameras.camera:
        mac: 02-00-5E-00-00-01
        settings:
          cameraDescription: Loading bay
          hour: "08"
EOF
start=$(mark)
play diff --check --diff || { show diff; fail "diff: the run failed"; }
[ "$(recap diff changed)" = changed=1 ] || { show diff; fail "diff: check mode says nothing would change"; }
grep -qE '^-[[:space:]]+"hour": 7,?$' "$work/diff.out" && grep -qE '^\+[[:space:]]+"hour": 8,?$' "$work/diff.out" ||
    { show diff; fail "diff: no hour 7 -> 8"; }
! grep -qE 'cameraDescription|Loading bay' "$work/diff.out" || { show diff; fail "diff: shows a field that does not differ"; }
[ "$(parameter_packets "$start")" = 0 ] || fail "check mode sent to port 15600"

# A password: written, counted as changed though nothing else differs, and seen neither in the
# output with -vvv nor on any command line while the play runs.
secret="pw-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"
printf '%s\n' "$secret" >"$work/secret.pattern"
printf 'emailPassword: "%s"\n' "$secret" >"$work/vault.yml"
chown 65534:65534 "$work/vault.yml"
cat >"$work/password.yml" <<'EOF'
- hosts: localhost
  gather_facts: false
  vars_files:
    - vault.yml
  tasks:
    - telviq.cameras.camera:
        mac: 02-00-5E-00-00-02
        settings:
          cameraDescription: Yard
        passwords:
          emailPassword: "{{ emailPassword }}"
EOF
# The poller must see telviq-cli's own command line, or it proves nothing.
(
    while :; do
        grep -alsF -f "$work/secret.pattern" /proc/[0-9]*/cmdline >>"$work/secret.seen" || true
        grep -alsF -e '--changed-only' /proc/[0-9]*/cmdline >>"$work/cli.seen" || true
        sleep 0.05
    done
) &
poller_pid=$!
start=$(mark)
play password -vvv || { show password; fail "password: the run failed"; }
kill "$poller_pid"
wait "$poller_pid" 2>/dev/null || true
poller_pid=
[ "$(recap password changed)" = changed=1 ] || { show password; fail "password: not counted as changed"; }
since "$start" | grep -qE 'parameters for 02-00-5E-00-00-02 .*passwords set: email$' ||
    { since "$start" >&2; fail "password: the camera was not sent it"; }
! grep -qF -f "$work/secret.pattern" "$work/password.out" || fail "password: in the output of -vvv"
[ ! -s "$work/secret.seen" ] || fail "password: on the command line of $(sort -u "$work/secret.seen" | tr '\n' ' ')"
[ -s "$work/cli.seen" ] || fail "password: the poller never saw telviq-cli's command line"

# A camera that does not answer fails the host with telviq-cli's message.
cat >"$work/absent.yml" <<'EOF'
- hosts: localhost
  gather_facts: false
  tasks:
    - telviq.cameras.camera:
        mac: 02-00-5E-00-00-09
        settings:
          hour: 5
EOF
if play absent; then
    show absent
    fail "absent: the play passed"
fi
[ "$(recap absent failed)" = failed=1 ] || { show absent; fail "absent: the host did not fail"; }
grep -qF 'no camera with MAC 02-00-5E-00-00-09 answered the search' "$work/absent.out" ||
    { show absent; fail "absent: not telviq-cli's message"; }

# Addresses: check mode returns the plan and sends nothing; the first run gives each camera its
# address, the second changes nothing.
cat >"$work/addresses.yml" <<'EOF'
- hosts: localhost
  gather_facts: false
  tasks:
    - telviq.cameras.addresses:
        first: 203.0.113.10
        all: true
      check_mode: true
      register: plan
    - ansible.builtin.assert:
        that: plan.cameras | map(attribute='ipAddress') | list == ['203.0.113.10', '203.0.113.11']
    - telviq.cameras.addresses:
        first: 203.0.113.10
        all: true
EOF
start=$(mark)
play addresses || { show addresses; fail "addresses: the first run failed"; }
[ "$(recap addresses changed)" = changed=2 ] || { show addresses; fail "addresses: the first run: $(recap addresses changed), not 2 (plan and write)"; }
[ "$(parameter_packets "$start")" = 2 ] || fail "addresses: $(parameter_packets "$start") packets, not 2"
start=$(mark)
play addresses || { show addresses; fail "addresses: the second run failed"; }
[ "$(recap addresses changed)" = changed=0 ] || { show addresses; fail "addresses: the second run changed something"; }
[ "$(parameter_packets "$start")" = 0 ] || fail "addresses: the second run sent a packet"

if [ "$failures" -ne 0 ]; then
    echo "virtual cameras said:" >&2
    sed 's/^/  /' "$work/cameras.log" >&2
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "ok: ansible-doc, settings twice, check mode with --diff, a password, a camera that does not answer, addresses twice"
