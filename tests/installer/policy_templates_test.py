#!/usr/bin/env python3
"""policy_templates_test.py KOVANAMES_H POLICY_DIR: the built Kova.admx and every Kova.adml
parse, the ADMX's policies use the key and value names Kova reads, and each ADML defines
every string and presentation the ADMX refers to."""
import re
import sys
import xml.etree.ElementTree as ET

NS = '{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}'
LANGUAGES = ['en-US', 'de-DE', 'fr-FR', 'es-ES', 'it-IT', 'pt-BR', 'ja-JP', 'zh-CN', 'ko-KR']
# Each policy and the define of its value name; both share KOVA_POLICY_KEY.
POLICIES = [('AllowBluetooth', 'KOVA_POLICY_ALLOW_BLUETOOTH'), ('AllowWiFi', 'KOVA_POLICY_ALLOW_WIFI')]

names_h, policy_dir = sys.argv[1:3]
with open(names_h, encoding='utf-8') as f:
    defines = {m[0]: m[1].replace('\\\\', '\\') for m in re.findall(r'^#define (\w+) "(.*)"$', f.read(), re.M)}
failures = []
admx_text = open(f'{policy_dir}/Kova.admx', encoding='utf-8').read()
admx = ET.fromstring(admx_text)
policies = {p.get('name'): p for p in admx.iter(NS + 'policy')}
if sorted(policies) != sorted(name for name, _ in POLICIES):
    failures.append(f'policies {sorted(policies)}')
for name, value_define in POLICIES:
    p = policies.get(name)
    got = p is not None and (p.get('class'), p.get('key'), p.get('valueName'))
    if got != ('Both', defines['KOVA_POLICY_KEY'], defines[value_define]):
        failures.append(f'{name}: {got}')

refs = set(re.findall(r'\$\((string|presentation)\.([^)]+)\)', admx_text))
for lang in LANGUAGES:
    adml = ET.parse(f'{policy_dir}/{lang}/Kova.adml').getroot()
    ids = {('string', s.get('id')) for s in adml.iter(NS + 'string')}
    ids |= {('presentation', s.get('id')) for s in adml.iter(NS + 'presentation')}
    failures += [f'{lang}: no {kind} "{id_}"' for kind, id_ in sorted(refs - ids)]

print('\n'.join(failures) or f'{len(POLICIES)} policies, {len(LANGUAGES)} languages')
sys.exit(1 if failures else 0)
