# -*- coding: utf-8 -*-
# Copyright (c) 2026 The TELVIQ Utility developers
# MIT License (see the LICENSE file shipped with telviq-cli)
# No interpreter line: ansible runs a module without one with the host's Python, as it would
# for #!/usr/bin/python, which lintian warns about in a Debian package.

DOCUMENTATION = r'''
---
module: camera
short_description: Make TELVIQ network cameras hold settings
version_added: "1.6.0"
description:
  - Makes one camera, or every camera that answers, on the managed host's LAN hold the settings
    given, through C(telviq-cli) on that host.
  - Searches the cameras (about three seconds), compares each camera's settings with those
    given, and writes only the cameras whose values differ, one packet each, all at once; a
    camera that shows every value already is left alone and is sent nothing.
  - C(telviq-cli) reads and compares the values as its C(show --json) prints them, so C(hour=7)
    and C(hour="07"), or C(networkType=dhcp) and C(networkType=DHCP), are the same value.
  - Cameras never report passwords, so a task that gives one in I(passwords) writes every
    camera it names, every time, and always counts as changed.
  - Runs C(telviq-cli apply - --changed-only --json) with the settings and passwords as JSON on
    its standard input; nothing a task gives stands on a command line.
options:
  mac:
    description:
      - The MAC address of the one camera to set, such as C(02-00-5E-10-00-01) (hyphens or
        colons, either case).
      - Give either I(mac) or I(all=true).
    type: str
  all:
    description:
      - Every camera that answers the search.
    type: bool
    default: false
  settings:
    description:
      - The fields to set and their values, under the names C(telviq-cli set --help) lists
        (C(cameraDescription), C(ipAddress), C(networkType), C(hour), ...), with values as
        C(telviq-cli show --json) prints them. A choice may also be given by its number
        (C(0) for the first item), a number as a string of digits.
      - Addresses and numbers are read strictly, as C(telviq-cli) reads them (no leading
        zeros in an address, digits only in a number).
      - Quote C("On") and C("Off"). YAML reads them unquoted as booleans, which are refused.
      - A field whose value is C(null) is left as the camera has it. The fields a camera only
        reports (C(macAddress), C(usedIPAddress), C(firmwareVersion)) are skipped.
      - Settings that would give more than one camera the same fixed C(ipAddress) are refused;
        M(telviq.cameras.addresses) gives each camera an address of its own.
    type: dict
    default: {}
  passwords:
    description:
      - Password fields and the passwords to send (C(adminPassword), C(newAdminPassword),
        C(userPassword), C(newUserPassword), C(emailPassword), C(adslPassword),
        C(ddnsPassword)). Keep them in a vault.
      - They reach C(telviq-cli) on its standard input, never on its command line, and are
        never shown, not in the result, not under C(--diff), not with C(-vvv).
      - Cameras cannot report passwords, so a task that gives one always writes and always
        counts as changed. Keep such tasks apart from those that set other fields, or run them
        only when a password is to change.
      - Quote a password made of digits only; a number is refused.
    type: dict
    default: {}
  verify:
    description:
      - Search again after the writes and fail the host when a camera does not show the values
        written (passwords cannot be read back and are not checked).
    type: bool
    default: false
notes:
  - Check mode sends the cameras nothing (C(telviq-cli apply --dry-run)); it searches, and says
    which cameras would be written and what would change.
  - With C(--diff), the before and after of each field that differs, camera by camera, as the
    camera shows it and as the task would set it. Passwords never appear.
  - An unknown field, a bad value, a value the camera's own checks refuse (as the window's
    Save does), a camera that does not answer the search, or a write that is not acknowledged
    within ten seconds fails the host with C(telviq-cli)'s own message.
  - The search and the writes are UDP broadcasts, which do not cross a router; run the task on
    a host on the cameras' LAN.
requirements:
  - telviq-cli (the telviq-cli package) on the managed host
seealso:
  - module: telviq.cameras.find
  - module: telviq.cameras.addresses
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - The TELVIQ Utility developers (telviq-utility@example.org)
'''

EXAMPLES = r'''
- name: Name the loading bay's camera and send its e-mail at 7:00
  telviq.cameras.camera:
    mac: 02-00-5E-10-00-01
    settings:
      cameraDescription: Loading bay
      timeEmail: "On"
      hour: 7
      minute: 0

- name: Point every camera's e-mail at the new mail server
  telviq.cameras.camera:
    all: true
    settings:
      smtpServerType: "SMTP Domain Name:"
      smtpDomain: smtp.example.net
      emailReceiver: noc@example.net
      emailAuthentication: "On"
      emailAccount: cameras
    verify: true

- name: Give every camera the mail account's password (always counts as changed)
  telviq.cameras.camera:
    all: true
    passwords:
      emailPassword: "{{ vault_camera_mail_password }}"
  when: rotate_mail_password | default(false) | bool

- name: Change the administrator password
  telviq.cameras.camera:
    all: true
    passwords:
      adminPassword: "{{ vault_camera_admin_password_old }}"
      newAdminPassword: "{{ vault_camera_admin_password }}"
  when: rotate_admin_password | default(false) | bool
'''

RETURN = r'''
cameras:
  description:
    - A row for each camera named, as C(telviq-cli apply --json) prints it, in the order
      found (with I(all)).
  returned: always
  type: list
  elements: dict
  sample:
    - macAddress: 02-00-5E-10-00-01
      cameraDescription: Dock 1
      usedIPAddress: 192.168.10.21
      result: acknowledged
      differences:
        cameraDescription:
          before: Dock 1
          after: Loading bay
        hour:
          before: 6
          after: 7
  contains:
    macAddress:
      description: The camera's MAC address.
      type: str
      returned: always
    cameraDescription:
      description: Its description, as it reported it before the write.
      type: str
      returned: when the camera answered
    usedIPAddress:
      description: The address it uses, as it reported it.
      type: str
      returned: when the camera answered
    result:
      description:
        - C(acknowledged); C(unchanged) (it holds the settings already, nothing was sent);
          C(not sent) (in check mode, it would be written); C(not found) (it did not answer
          the search); C(refused) (its settings fail the camera's checks; it was not written);
          C(no acknowledgement).
      type: str
      returned: always
    message:
      description: Why the row did not go well, in telviq-cli's words.
      type: str
      returned: when the result is not found, refused, no acknowledgement, or not verified
    differences:
      description:
        - Each field the settings change, with its value before (as the camera shows it) and
          after. Empty for a camera that holds the settings already. Never a password.
      type: dict
      returned: when the camera answered and its settings pass the checks
    packet:
      description: The packet's fields that would be sent, passwords masked.
      type: dict
      returned: in check mode, for a camera that would be written
    verified:
      description: Whether the camera shows every value written (passwords aside).
      type: bool
      returned: with I(verify), for an acknowledged write
    notTaken:
      description: The values the camera does not show, as telviq-cli says them.
      type: list
      elements: str
      returned: with I(verify), for a camera that does not show them
'''

import json

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.telviq.cameras.plugins.module_utils.telviq_cli import run_write


def main():
    module = AnsibleModule(
        argument_spec=dict(
            mac=dict(type='str'),
            all=dict(type='bool', default=False),
            settings=dict(type='dict', default={}),
            passwords=dict(type='dict', default={}, no_log=True),
            verify=dict(type='bool', default=False),
        ),
        mutually_exclusive=[('mac', 'all')],
        supports_check_mode=True,
    )
    params = module.params
    if not params['mac'] and not params['all']:
        module.fail_json(msg='name the cameras: mac, or all: true')
    settings = params['settings'] or {}
    passwords = params['passwords'] or {}
    both = sorted(set(settings) & set(passwords))
    if both:
        module.fail_json(msg='given in both settings and passwords: %s' % ', '.join(both))
    if not settings and not passwords:
        module.fail_json(msg='nothing to set: give settings or passwords')

    # One JSON object, the settings file of `telviq-cli apply`, on its standard input.
    fields = dict(settings)
    fields.update(passwords)
    cameras = ['--all'] if params['all'] else ['--mac', params['mac']]
    run_write(module, ['apply', '-'] + cameras + ['--changed-only'], data=json.dumps(fields))


if __name__ == '__main__':
    main()
