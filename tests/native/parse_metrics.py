#!/usr/bin/env python3
"""Reads Prometheus text from stdin with the client library's own parser and prints each sample
as `name{label="value",...} value`, sorted: a test then looks for exact lines. A text the parser
refuses exits non-zero."""
import sys

from prometheus_client.parser import text_string_to_metric_families

lines = []
for family in text_string_to_metric_families(sys.stdin.read()):
    for sample in family.samples:
        labels = ",".join(f'{k}="{v}"' for k, v in sorted(sample.labels.items()))
        value = sample.value
        text = str(int(value)) if value == int(value) else repr(value)
        lines.append(f"{family.type} {sample.name}{{{labels}}} {text}")
print("\n".join(sorted(lines)))
