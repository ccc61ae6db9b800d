# -*- coding: utf-8 -*-
# Copyright (c) 2026 The TELVIQ Utility developers
# MIT License (see the LICENSE file shipped with telviq-cli)
# No interpreter line: ansible runs a module without one with the host's Python, as it would
# for #!/usr/bin/python, which lintian warns about in a Debian package.

DOCUMENTATION = r'''
---
module: find
short_description: List the TELVIQ network cameras that answer on the host's LAN
version_added: "1.6.0"
description:
  - Searches the cameras with C(telviq-cli find --json) on the managed host (three searches,
    about three seconds) and returns every camera that answers, once each, with every field it
    reports; or, with I(mac), the cameras named (C(telviq-cli show --mac MAC... --json)).
  - Sends the search only; no camera's settings are written, so the task never counts as
    changed and runs the same in check mode.
options:
  mac:
    description:
      - Only these cameras, by MAC address (C(02-00-5E-10-00-01)), in the order given. A
        camera named that does not answer the search fails the host with C(telviq-cli)'s
        message.
    type: list
    elements: str
notes:
  - The search is a UDP broadcast, which does not cross a router; run the task on a host on
    the cameras' LAN.
  - Cameras never report passwords.
requirements:
  - telviq-cli (the telviq-cli package) on the managed host
seealso:
  - module: telviq.cameras.camera
  - module: telviq.cameras.addresses
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
author:
  - The TELVIQ Utility developers (telviq-utility@example.org)
'''

EXAMPLES = r'''
- name: Take stock of each site's cameras
  telviq.cameras.find:
  register: found

- name: Say which cameras still send e-mail through the old server
  ansible.builtin.debug:
    msg: "{{ found.cameras | selectattr('smtpDomain', 'equalto', 'mail.example.org')
             | map(attribute='macAddress') | list }}"

- name: The settings of two cameras
  telviq.cameras.find:
    mac:
      - 02-00-5E-10-00-01
      - 02-00-5E-10-00-02
  register: gate
'''

RETURN = r'''
cameras:
  description:
    - One object for each camera, in the order found (or named), as C(telviq-cli find --json)
      prints it; the fields and their values are those of the settings file (see the
      README of telviq-cli, "Command line").
  returned: always
  type: list
  elements: dict
  sample:
    - macAddress: 02-00-5E-10-00-01
      usedIPAddress: 192.168.10.21
      firmwareVersion: V1.0.21
      cameraDescription: Loading bay
      networkType: Fixed IP
      ipAddress: 192.168.10.21
      hour: 7
      timeEmail: "On"
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.telviq.cameras.plugins.module_utils.telviq_cli import (
    failure_message, parsed, run_cli, warn_each_line)


def main():
    module = AnsibleModule(
        argument_spec=dict(mac=dict(type='list', elements='str')),
        supports_check_mode=True,
    )
    macs = module.params['mac']
    if macs:
        args = ['show'] + [x for mac in macs for x in ('--mac', mac)] + ['--json']
    else:
        args = ['find', '--json']
    rc, out, err = run_cli(module, args)
    cameras = parsed(out)
    if not isinstance(cameras, list):
        cameras = []
    if rc != 0:
        module.fail_json(msg=failure_message(rc, err, None), rc=rc, cameras=cameras)
    warn_each_line(module, err)
    module.exit_json(changed=False, cameras=cameras)


if __name__ == '__main__':
    main()
