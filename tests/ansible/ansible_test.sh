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
# Only the namespaces need root: the cameras and ansible run as nobody.
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
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
ip netns exec "$lab-cam" "${nobody[@]}" "$work/bin/telviq-virtual-cameras" \
    --file "$work/cameras.conf" --log >"$work/cameras.log" 2>&1 &
camera_pid=$!
for _ in $(seq 50); do
    grep -q '^ready' "$work/cameras.log" && break
    sleep 0.1
done
grep -q '^ready' "$work/cameras.log" || { cat "$work/cameras.log" >&2; exit 1; }

# play NAME [OPTION...]: runs NAME.yml in the pc namespace, its output in NAME.out, and notes
# where the cameras' log stood.
play() {
    local name=$1
    shift
    start=$(wc -l <"$work/cameras.log")
    (cd "$work" && ip netns exec "$lab-pc" "${nobody[@]}" "${ansible_env[@]}" \
        ansible-playbook -i localhost, -c local "$@" "$name.yml") >"$work/$name.out" 2>&1
}
# What the cameras logged since the last play started.
since() { tail -n "+$((start + 1))" "$work/cameras.log"; }
# expect NAME WHAT COMMAND...: the check passes, or the play's output is shown.
expect() {
    local name=$1 what=$2
    shift 2
    "$@" || { sed "s/^/  $name: /" "$work/$name.out" >&2; fail "$name: $what"; }
}
recap_is() { [ "$(grep -oE "${2%%=*}=[0-9]+" "$work/$1.out" | tail -n 1)" = "$2" ]; }
packets_are() { [ "$(since | grep -cE 'parameters for|on the parameter port')" = "$1" ]; }
output_has() { grep -qE -- "$2" "$work/$1.out"; }
output_lacks() { ! grep -qE -- "$2" "$work/$1.out"; }
fails() { ! "$@"; }

cat >"$work/settings.yml" <<'EOF'
- hosts: localhost
  gather_facts: false
  tasks:
    - telviq.cameras.find:
      register: found
    - ansible.builtin.assert:
        that: found.cameras | map(attribute='macAddress') | sort
              == ['02-00-5E-00-00-01', '02-00-5E-00-00-02']
    - telviq.cameras.camera:
        mac: 02-00-5E-00-00-01
        settings:
          cameraDescription: Loading bay
          hour: 7
          networkType: dhcp
EOF
# The first run writes the one camera; the second finds it holding the settings and sends nothing.
expect settings "the first run failed" play settings
expect settings "the first run changed nothing" recap_is settings changed=1
expect settings "not one packet" packets_are 1
since | grep -q 'parameters for 02-00-5E-00-00-01' || fail "settings: camera 1 was not written"
expect settings "the second run failed" play settings
expect settings "the second run changed something" recap_is settings changed=0
expect settings "the second run sent a packet" packets_are 0

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
expect diff "the run failed" play diff --check --diff
expect diff "check mode says nothing would change" recap_is diff changed=1
expect diff "no hour 7" output_has diff '^-[[:space:]]+"hour": 7,?$'
expect diff "no hour 8" output_has diff '^\+[[:space:]]+"hour": 8,?$'
expect diff "shows a field that does not differ" output_lacks diff 'cameraDescription|Loading bay'
expect diff "check mode sent to port 15600" packets_are 0

# A password: written, counted as changed though nothing else differs, and seen neither in the
# output with -vvv nor on any command line while the play runs.
secret="pw-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"
printf '%s\n' "$secret" >"$work/secret.pattern"
printf 'emailPassword: "%s"\n' "$secret" >"$work/vault.yml"
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
expect password "the run failed" play password -vvv
kill "$poller_pid"
wait "$poller_pid" 2>/dev/null || true
poller_pid=
expect password "not counted as changed" recap_is password changed=1
since | grep -qE 'parameters for 02-00-5E-00-00-02 .*passwords set: email$' ||
    { since >&2; fail "password: the camera was not sent it"; }
expect password "in the output of -vvv" fails grep -qF -f "$work/secret.pattern" "$work/password.out"
[ ! -s "$work/secret.seen" ] ||
    fail "password: on the command line of $(sort -u "$work/secret.seen" | tr '\n' ' ')"
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
expect absent "the play passed" fails play absent
expect absent "the host did not fail" recap_is absent failed=1
expect absent "not telviq-cli's message" \
    output_has absent 'no camera with MAC 02-00-5E-00-00-09 answered the search'

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
expect addresses "the first run failed" play addresses
expect addresses "the first run did not change both tasks" recap_is addresses changed=2
expect addresses "the first run did not write both cameras" packets_are 2
expect addresses "the second run failed" play addresses
expect addresses "the second run changed something" recap_is addresses changed=0
expect addresses "the second run sent a packet" packets_are 0

if [ "$failures" -ne 0 ]; then
    echo "virtual cameras said:" >&2
    sed 's/^/  /' "$work/cameras.log" >&2
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "ok: ansible-doc, settings twice, check mode with --diff, a password, a camera that" \
    "does not answer, addresses twice"
