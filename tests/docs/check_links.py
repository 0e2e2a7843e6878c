"""check_links.py ROOT: every relative link and image in ROOT/README.md and
ROOT/docs/*.md must name a file or directory that exists; prints each one
that does not and exits 1. Web and mail links and same-page anchors are
not checked, and a #fragment is ignored."""
import glob
import os
import re
import sys
from urllib.parse import unquote

# [text](target "title") and ![alt](target), link text with one level of
# brackets inside; and reference definitions, [name]: target.
INLINE = re.compile(r'!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*(<[^>]*>|[^)\s]+)')
REFERENCE = re.compile(r'^\s{0,3}\[[^\]]+\]:\s*(<[^>]*>|\S+)')
FENCE = re.compile(r'^\s{0,3}(```|~~~)')
CODE_SPAN = re.compile(r'(`+)(?:(?!\1).)+?\1')
NOT_CHECKED = re.compile(r'^(https?:|mailto:|#)', re.I)


def links(path):
    """(line number, target) of each link in the Markdown file, outside code."""
    in_fence = False
    with open(path, encoding='utf-8') as text:
        for number, line in enumerate(text, 1):
            if FENCE.match(line):
                in_fence = not in_fence
                continue
            if in_fence:
                continue
            line = CODE_SPAN.sub(lambda m: ' ' * len(m.group(0)), line)
            for match in list(INLINE.finditer(line)) + list(REFERENCE.finditer(line)):
                yield number, match.group(1).strip('<>')


def main():
    root = sys.argv[1]
    pages = [os.path.join(root, 'README.md')] + sorted(glob.glob(os.path.join(root, 'docs', '*.md')))
    broken = []
    for page in pages:
        for number, target in links(page):
            if NOT_CHECKED.match(target):
                continue
            path = unquote(target.split('#', 1)[0])
            if not os.path.exists(os.path.join(os.path.dirname(page), path)):
                broken.append(f'{os.path.relpath(page, root)}:{number}: {target}')
    for line in broken:
        print('broken link:', line)
    print(f'{len(pages)} pages checked, {len(broken)} broken links')
    return 1 if broken else 0


if __name__ == '__main__':
    sys.exit(main())
