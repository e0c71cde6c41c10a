#!/usr/bin/python
# -*- coding: utf-8 -*-
# Installs and removes Kestrovan packages through kestrovan-installer, for
# fleets run by Ansible. It drives the program's own machine interfaces:
# --plan for check mode and for what a run would do, --report for what it
# did, the receipts (--list-installed --json, --verify-installed) to find a
# package that is installed already and intact, and --uninstall.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: kestrovan_install
short_description: Install or remove a Kestrovan package
description:
  - Installs a package (a stand-alone package file or a self-extracting installer) into a
    system root with C(kestrovan-installer --unattended), or removes an installed package.
  - Idempotent. A package whose receipt shows the same package (by its digest) installed on
    the target volume, with every item as installed, is left alone (C(changed=false)).
  - Check mode runs C(--plan), which writes nothing, and returns the plan.
options:
  package:
    description: The package file or self-extracting installer on the managed host.
      Needed for I(state=present); for I(state=absent) it names the package to remove
      unless I(name) does.
    type: path
  name:
    description: The installed package's name, for I(state=absent) without I(package).
    type: str
  root:
    description: The system root (C(--root)).
    type: path
    required: true
  state:
    description: Whether the package should be installed.
    type: str
    choices: [present, absent]
    default: present
  volume:
    description: The volume to install on (default the boot volume).
    type: str
  folder:
    description: The install folder (C(apps), C(home), C(home/Desktop) or an absolute path).
    type: str
  groups:
    description: The groups to install (default the package's first selection).
    type: list
    elements: str
  accept_license:
    description: Agree to the package's agreement; without it a package that has one is
      not installed.
    type: bool
    default: false
  existing:
    description: The answer to every replace question.
    type: str
    choices: [replace, rename, skip, cancel]
    default: rename
  on_error:
    description: The answer when an item cannot be installed.
    type: str
    choices: [continue, cancel]
    default: cancel
  trusted_keys:
    description: Public key files whose signatures are trusted (C(--trusted-key)).
    type: list
    elements: path
  require_signature:
    description: Refuse a package that no trusted key signed.
    type: bool
    default: false
  installer:
    description: The installer program.
    type: path
    default: kestrovan-installer
'''

EXAMPLES = r'''
- name: Install the tool, trusting its makers' key
  kestrovan_install:
    package: /srv/packages/Tool Installer
    root: /srv/kestrovan/root
    groups: [Complete]
    accept_license: true
    trusted_keys: [/etc/kestrovan/tool-makers.pub]
    require_signature: true
  register: installed

- name: Remove it again
  kestrovan_install:
    name: Tool
    root: /srv/kestrovan/root
    state: absent
'''

RETURN = r'''
plan:
  description: The plan (C(--plan)) of the run, in check mode and when nothing was to do.
  returned: when state is present
  type: dict
report:
  description: The installer's report (C(--report)) of the run it made.
  returned: when a run was made
  type: dict
receipt:
  description: The receipt of the installed package that made the run unnecessary.
  returned: when nothing was to do
  type: dict
'''

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule


def installer_command(module, *words):
    params = module.params
    return [params['installer'], '--root', params['root']] + list(words)


def run_options(module):
    """The unattended answers, as the installer's options."""
    params = module.params
    options = ['--existing', params['existing'], '--on-error', params['on_error']]
    if params['volume']:
        options += ['--volume', params['volume']]
    if params['folder']:
        options += ['--folder', params['folder']]
    if params['groups']:
        options += ['--groups', ','.join(params['groups'])]
    if params['accept_license']:
        options.append('--accept-license')
    for key in params['trusted_keys'] or []:
        options += ['--trusted-key', key]
    if params['require_signature']:
        options.append('--require-signature')
    return options


def make_plan(module):
    command = installer_command(module, '--plan', *run_options(module)) + [module.params['package']]
    rc, out, err = module.run_command(command)
    try:
        plan = json.loads(out)
    except ValueError:
        module.fail_json(msg='the installer made no plan (exit %d): %s' % (rc, err.strip()),
                         rc=rc, stderr=err)
    return rc, plan, err


def installed_receipts(module):
    command = installer_command(module, '--list-installed', '--json')
    if module.params['volume']:
        command += ['--volume', module.params['volume']]
    rc, out, err = module.run_command(command)
    if rc != 0:
        module.fail_json(msg='the installed packages cannot be listed: %s' % err.strip(),
                         rc=rc, stderr=err)
    try:
        return json.loads(out) if out.strip() else []
    except ValueError:
        module.fail_json(msg='the installed packages came back unreadable', stdout=out)


def find_receipt(receipts, name, volume=None):
    for receipt in receipts:
        package = receipt.get('package') or {}
        if package.get('name') == name and (volume is None or receipt.get('volume') == volume):
            return receipt
    return None


def intact(module, name, volume):
    command = installer_command(module, '--verify-installed', name, '--volume', volume)
    rc, _out, _err = module.run_command(command)
    return rc == 0


def install(module):
    rc, plan, err = make_plan(module)
    if not plan.get('proceed'):
        stop = plan.get('stop') or {}
        module.fail_json(msg='the package would not be installed: %s'
                         % stop.get('reason', err.strip()), plan=plan, rc=rc)
    package = plan.get('package') or {}
    receipt = find_receipt(installed_receipts(module), package.get('name'), plan.get('volume'))
    same = (receipt is not None and package.get('digest')
            and (receipt.get('package') or {}).get('digest') == package.get('digest'))
    if same and intact(module, package['name'], plan['volume']):
        module.exit_json(changed=False, plan=plan, receipt=receipt)
    if module.check_mode:
        module.exit_json(changed=True, plan=plan)

    handle, report_path = tempfile.mkstemp(prefix='kestrovan-report.', suffix='.json')
    os.close(handle)
    try:
        command = installer_command(module, '--unattended', '--report', report_path,
                                    *run_options(module)) + [module.params['package']]
        rc, _out, err = module.run_command(command)
        report = None
        try:
            with open(report_path) as stream:
                report = json.load(stream)
        except (IOError, ValueError):
            pass
    finally:
        os.unlink(report_path)
    if rc != 0 or report is None or report.get('outcome') != 'completed':
        reason = (report or {}).get('reason') or err.strip()
        module.fail_json(msg='the package was not installed: %s' % reason, rc=rc,
                         report=report, stderr=err)
    module.exit_json(changed=True, report=report)


def remove(module):
    name = module.params['name']
    if not name:
        if not module.params['package']:
            module.fail_json(msg='state=absent needs name or package')
        _rc, plan, _err = make_plan(module)
        name = (plan.get('package') or {}).get('name')
        if not name:
            module.fail_json(msg='the package cannot be read', plan=plan)
    receipt = find_receipt(installed_receipts(module), name)
    if receipt is None:
        module.exit_json(changed=False, name=name)
    if module.check_mode:
        module.exit_json(changed=True, name=name, receipt=receipt)
    command = installer_command(module, '--uninstall', name, '--volume', receipt['volume'])
    rc, out, err = module.run_command(command)
    if rc != 0:
        module.fail_json(msg='%s was not removed: %s' % (name, err.strip()), rc=rc,
                         stdout=out, stderr=err)
    module.exit_json(changed=True, name=name, receipt=receipt)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            package=dict(type='path'),
            name=dict(type='str'),
            root=dict(type='path', required=True),
            state=dict(type='str', choices=['present', 'absent'], default='present'),
            volume=dict(type='str'),
            folder=dict(type='str'),
            groups=dict(type='list', elements='str'),
            accept_license=dict(type='bool', default=False),
            existing=dict(type='str', choices=['replace', 'rename', 'skip', 'cancel'],
                          default='rename'),
            on_error=dict(type='str', choices=['continue', 'cancel'], default='cancel'),
            trusted_keys=dict(type='list', elements='path', no_log=False),
            require_signature=dict(type='bool', default=False),
            installer=dict(type='path', default='kestrovan-installer'),
        ),
        required_if=[('state', 'present', ['package'])],
        supports_check_mode=True,
    )
    if module.params['state'] == 'present':
        install(module)
    else:
        remove(module)


if __name__ == '__main__':
    main()
