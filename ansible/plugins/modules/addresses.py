# -*- coding: utf-8 -*-
# Copyright (c) 2026 The TELVIQ Utility developers
# MIT License (see the LICENSE file shipped with telviq-cli)
# No interpreter line: ansible runs a module without one with the host's Python, as it would
# for #!/usr/bin/python, which lintian warns about in a Debian package.

DOCUMENTATION = r'''
---
module: addresses
short_description: Give TELVIQ network cameras addresses of their own
version_added: "1.6.0"
description:
  - Runs the addressing plan of C(telviq-cli address) on the managed host, for cameras that
    come out of the box at one factory address. A write names its camera by MAC address, so it
    reaches cameras that share an address.
  - With I(first), the cameras (in ascending MAC order, so the plan is the same at every run)
    each get the next free address from I(first) upward; the PC's own addresses, the gateway,
    the DNS server, the addresses in use by cameras outside the plan and the subnet's network
    and broadcast addresses are skipped. With I(plan), a CSV file on the managed host gives
    each camera's address.
  - Each camera is sent Network Type C(Fixed IP), its address, the mask and the gateway (and
    I(dns)); everything else as it reported it, passwords unchanged.
  - A camera that holds its planned settings already is left alone and sent nothing, so a
    second run changes nothing.
  - The whole plan is refused, and nothing is sent, when it runs past the end of the subnet,
    names a camera that does not answer, or a camera's own settings fail the camera's checks;
    the host fails with C(telviq-cli)'s message.
options:
  first:
    description:
      - The first address to hand out, such as C(198.18.0.10). Give it with I(mac) or
        I(all=true); or give I(plan) instead.
    type: str
  mac:
    description:
      - The cameras to plan, by MAC address (C(02-00-5E-10-00-01)).
    type: list
    elements: str
  all:
    description:
      - Every camera that answers the search.
    type: bool
    default: false
  plan:
    description:
      - A CSV file on the managed host with the header C(macAddress,ipAddress) (and optionally
        C(cameraDescription), which is not written), a row for each camera. C(telviq-cli find
        --csv) gives the list to start from.
    type: path
  mask:
    description:
      - The subnet mask. By default that of the host's adapter whose subnet holds the first
        address.
    type: str
  gateway:
    description:
      - The gateway. By default that adapter's gateway.
    type: str
  dns:
    description:
      - A DNS server to give every camera. By default the cameras keep theirs.
    type: str
  verify:
    description:
      - Search again after the writes and fail the host when a camera does not show its
        address.
    type: bool
    default: false
notes:
  - Check mode sends nothing and returns the plan (C(telviq-cli address --dry-run --json)),
    a row for each camera with its planned address.
  - With C(--diff), the network fields each camera would change, before and after.
  - Runs on a host on the cameras' LAN; the search and the writes are broadcasts.
requirements:
  - telviq-cli (the telviq-cli package) on the managed host
seealso:
  - module: telviq.cameras.camera
  - module: telviq.cameras.find
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - The TELVIQ Utility developers (telviq-utility@example.org)
'''

EXAMPLES = r'''
- name: Show the plan for a switch of new cameras
  telviq.cameras.addresses:
    first: 198.18.0.10
    all: true
  check_mode: true
  register: plan

- name: Give them addresses from 198.18.0.10 upward, and check they took them
  telviq.cameras.addresses:
    first: 198.18.0.10
    all: true
    dns: 198.18.0.53
    verify: true

- name: The addresses chosen by hand, from a plan file copied to the site's box
  telviq.cameras.addresses:
    plan: /etc/telviq/plan.csv
    mask: 255.255.254.0
    gateway: 198.18.0.1
'''

RETURN = r'''
cameras:
  description:
    - A row for each camera of the plan, in ascending MAC order, as C(telviq-cli address
      --json) prints it.
  returned: always
  type: list
  elements: dict
  sample:
    - macAddress: 02-00-5E-10-00-01
      cameraDescription: Camera 1
      usedIPAddress: 192.168.1.100
      ipAddress: 198.18.0.10
      result: acknowledged
      differences:
        networkType:
          before: DHCP
          after: Fixed IP
        ipAddress:
          before: 192.168.1.100
          after: 198.18.0.10
  contains:
    macAddress:
      description: The camera's MAC address.
      type: str
      returned: always
    cameraDescription:
      description: Its description, as it reported it.
      type: str
      returned: always
    usedIPAddress:
      description: The address it used before.
      type: str
      returned: always
    ipAddress:
      description: Its planned address.
      type: str
      returned: always
    result:
      description:
        - C(acknowledged); C(unchanged) (it holds its plan already, nothing was sent);
          C(not sent) (check mode); C(no acknowledgement).
      type: str
      returned: always
    message:
      description: Why the row did not go well, in telviq-cli's words.
      type: str
      returned: when the write was not acknowledged or not verified
    differences:
      description: The fields the plan changes, each with its value before and after.
      type: dict
      returned: always
    packet:
      description: The packet's fields that would be sent, passwords masked.
      type: dict
      returned: in check mode, for a camera that would be written
    verified:
      description: Whether the camera shows its planned settings.
      type: bool
      returned: with I(verify), for an acknowledged write
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.telviq.cameras.plugins.module_utils.telviq_cli import run_write


def main():
    module = AnsibleModule(
        argument_spec=dict(
            first=dict(type='str'),
            mac=dict(type='list', elements='str'),
            all=dict(type='bool', default=False),
            plan=dict(type='path'),
            mask=dict(type='str'),
            gateway=dict(type='str'),
            dns=dict(type='str'),
            verify=dict(type='bool', default=False),
        ),
        mutually_exclusive=[('plan', 'first'), ('plan', 'mac'), ('plan', 'all'), ('mac', 'all')],
        required_one_of=[('first', 'plan')],
        supports_check_mode=True,
    )
    params = module.params
    if params['plan']:
        args = ['address', '--plan', params['plan']]
    elif params['mac'] or params['all']:
        args = ['address', params['first']]
        args += ['--all'] if params['all'] else [x for mac in params['mac'] for x in ('--mac', mac)]
    else:
        module.fail_json(msg='give first with mac or all: true, or plan')
    for option in ('mask', 'gateway', 'dns'):
        if params[option]:
            args += ['--' + option, params[option]]
    run_write(module, args)


if __name__ == '__main__':
    main()
