# -*- coding: utf-8 -*-
# Copyright (c) 2026 The TELVIQ Utility developers
# MIT License (see the LICENSE file shipped with telviq-cli)
"""What the telviq.cameras modules share: running telviq-cli on the managed host and reading
the JSON it prints. Its human text is never read; its own messages are passed on as they are."""

import json

# The rows of a write to several cameras whose packet went out.
SENT = ('acknowledged', 'no acknowledgement')


def run_cli(module, args, data=None):
    """Runs telviq-cli with args, and data (text) on its standard input; returns rc, out, err.
    Whatever a task must keep secret travels in data, never in args, which every user of the
    host can read in the process list."""
    cli = module.get_bin_path('telviq-cli', required=True)
    return module.run_command([cli] + args, data=data, binary_data=True, encoding='utf-8')


def parsed(out):
    """The JSON telviq-cli printed, or None when it printed none (it refused its input)."""
    try:
        return json.loads(out)
    except ValueError:
        return None


def warn_each_line(module, err):
    for line in err.splitlines():
        if line.strip():
            module.warn(line)


def failure_message(rc, err, rows):
    """telviq-cli's own words: its standard error, or else the message of each row that did
    not go well."""
    if err.strip():
        return err.strip()
    said = ['%s: %s' % (row.get('macAddress'), row['message'])
            for row in rows or [] if isinstance(row, dict) and row.get('message')]
    return '; '.join(said) or 'telviq-cli exited with status %d' % rc


def run_write(module, args, data=None):
    """Runs a write to several cameras (apply, address) with --json, and --dry-run in check
    mode, and ends the module: changed when a packet went out (or, in check mode, would), the
    rows as `cameras`, and under --diff the fields that differ, camera by camera. A non-zero
    exit status fails the host with telviq-cli's message."""
    args = args + ['--json']
    if module.check_mode:
        args.append('--dry-run')
    elif module.params.get('verify'):
        args.append('--verify')
    rc, out, err = run_cli(module, args, data)
    rows = parsed(out)
    if not isinstance(rows, list):
        rows = []
    would = ('not sent',) if module.check_mode else SENT
    changed = any(row.get('result') in would for row in rows)
    result = dict(changed=changed, cameras=rows)
    if module._diff:
        before, after = {}, {}
        for row in rows:
            fields = row.get('differences') or {}
            if fields:
                mac = row['macAddress']
                before[mac] = dict((name, value['before']) for name, value in fields.items())
                after[mac] = dict((name, value['after']) for name, value in fields.items())
        result['diff'] = dict(before=before, after=after,
                              before_header='as the cameras show it',
                              after_header='as the task sets it')
    if rc != 0:
        module.fail_json(msg=failure_message(rc, err, rows), rc=rc, **result)
    warn_each_line(module, err)
    module.exit_json(**result)
