#!/usr/bin/env python3
"""Solves layout systems with kiwisolver, the reference the view kit's solver is compared with.

Reads systems from standard input and writes one answer per system to standard output:

  system ID WIDTH HEIGHT INSET_TOP INSET_LEFT INSET_BOTTOM INSET_RIGHT VIEWS
  view INDEX INTRINSIC_W INTRINSIC_H HUG_H HUG_V RESIST_H RESIST_V
  constraint INDEX VIEW ATTR RELATION OTHER OTHER_ATTR MULTIPLIER CONSTANT PRIORITY
  end

Views are subviews of a root of the given size whose safe-area insets are given; their frames,
in the root's coordinates, are the unknowns. ATTR and OTHER_ATTR are 0..9 in the order left,
right, top, bottom, leading, trailing, width, height, centerX, centerY; RELATION is -1 (<=),
0 (==) or 1 (>=); OTHER is a view index, -1 for none (the constant alone), -2 for the root, -3
for the root's safe-area guide. An intrinsic size below zero means none.

The model is the view kit's: constraints are added in the order given, a required one that cannot hold with those before it is refused; priority p < 1000
weighs p; content sizes weigh their priority minus 0.001 (compression resistance from below,
hugging from above); every size, then every position, is pulled towards zero by weights that
differ per view and are far below any priority. A negative size is reported as zero.

With --open, the answer names instead the views whose frame the optimum leaves open (a
coordinate that moves half a point without making the weighted miss worse):
  system ID
  open INDEX...
  end

Answer:
  system ID
  refused INDEX...            (constraint indices kiwisolver refused; may be empty)
  frame INDEX X Y W H         (one per view)
  reversed INDEX X Y W H      (one per view: the accepted relations added in reverse order)
  end
"""

import math
import sys

import kiwisolver as kiwi

CONTENT_BELOW_CONSTRAINT = 1e-3
DEFAULT_SIZE_WEIGHT = 1e-3
REQUIRED = 1000.0


def default_size_weight(index):
    spread = math.fmod(index * 0.6180339887498949, 1.0)
    return DEFAULT_SIZE_WEIGHT * (1.0 + 0.5 * spread)


def attribute(frame, attr):
    """frame: (x, y, w, h), variables or numbers; returns the attribute as an expression."""
    x, y, w, h = frame
    return [x, x + w, y, y + h, x, x + w, w, h, x + 0.5 * w, y + 0.5 * h][attr]


def constraint_expression(c, frames, root, guide):
    """The constraint's left side minus its right side: first - multiplier * other - constant."""
    first = attribute(frames[c["view"]], c["attr"])
    other = c["other"]
    if other == -1:
        return first - c["constant"]
    target = root if other == -2 else guide if other == -3 else frames[other]
    return first - c["multiplier"] * attribute(target, c["other_attr"]) - c["constant"]


def variables(system):
    """The root's frame, its safe-area guide's frame and a frame of new variables per view."""
    width, height, top, left, bottom, right = system["root"]
    root = (0.0, 0.0, width, height)
    guide = (left, top, max(0.0, width - left - right), max(0.0, height - top - bottom))
    frames = [tuple(kiwi.Variable("v%d_%s" % (i, part)) for part in "xywh")
              for i in range(len(system["views"]))]
    return root, guide, frames


def relation(lhs, rel):
    if rel < 0:
        return lhs <= 0
    if rel > 0:
        return lhs >= 0
    return lhs == 0


def kit_relations(system, frames):
    """What the kit adds to the constraints, in its order, as (expression, relation, weight):
    each content size from below and from above, then every size and position pulled to zero."""
    for i, view in enumerate(system["views"]):
        frame = frames[i]
        for size, intrinsic, hug, resist in ((frame[2], view["iw"], view["hug_h"], view["resist_h"]),
                                             (frame[3], view["ih"], view["hug_v"], view["resist_v"])):
            if intrinsic >= 0:
                yield size - intrinsic, 1, resist - CONTENT_BELOW_CONSTRAINT
                yield size - intrinsic, -1, hug - CONTENT_BELOW_CONSTRAINT
    for i, frame in enumerate(frames):
        for size in frame[2:]:
            yield size + 0, 0, default_size_weight(i)
        for position in frame[:2]:
            yield position + 0, 0, default_size_weight(i) / 2


def weighed(constraint, priority):
    if priority >= REQUIRED:
        return constraint | kiwi.strength.required
    return constraint | float(priority)


def solve(system):
    root, guide, frames = variables(system)

    ordered = []  # (constraint index or None, kiwi constraint)
    for c in system["constraints"]:
        expression = constraint_expression(c, frames, root, guide)
        ordered.append((c["index"], weighed(relation(expression, c["relation"]), c["priority"])))
    for expression, rel, weight in kit_relations(system, frames):
        ordered.append((None, weighed(relation(expression, rel), weight)))

    # A refused constraint may leave kiwisolver's tableau changed: start again without it.
    solver = kiwi.Solver()
    accepted = []
    refused = []
    for index, constraint in ordered:
        try:
            solver.addConstraint(constraint)
            accepted.append(constraint)
        except kiwi.UnsatisfiableConstraint:
            refused.append(index)
            solver = kiwi.Solver()
            for kept in accepted:
                solver.addConstraint(kept)
    forward = read_frames(solver, frames)
    # The same relations added the other way round: a different answer shows that the optimum is
    # not a single layout.
    solver = kiwi.Solver()
    for kept in reversed(accepted):
        solver.addConstraint(kept)
    return refused, forward, read_frames(solver, frames)


def weighted_miss(system, fixed=None):
    """The optimum's weighted miss of the non-required relations, with one coordinate of one view
    held at a value when fixed = (view, coordinate 0..3, value); none when that cannot hold."""
    root, guide, frames = variables(system)
    required, soft = [], []
    for c in system["constraints"]:
        expression = constraint_expression(c, frames, root, guide)
        (required if c["priority"] >= REQUIRED else soft).append(
            (expression, c["relation"], c["priority"]))
    soft.extend(kit_relations(system, frames))
    solver = kiwi.Solver()
    for expression, rel, _ in required:
        try:
            solver.addConstraint(relation(expression, rel))
        except kiwi.UnsatisfiableConstraint:
            pass
    if fixed is not None:
        try:
            solver.addConstraint(frames[fixed[0]][fixed[1]] == fixed[2])
        except kiwi.UnsatisfiableConstraint:
            return None
    for expression, rel, weight in soft:
        solver.addConstraint(relation(expression, rel) | weight)
    solver.updateVariables()
    total = 0.0
    for expression, rel, weight in soft:
        value = expression.value()
        total += weight * (abs(value) if rel == 0 else max(0.0, -value if rel > 0 else value))
    return total, [tuple(v.value() for v in frame) for frame in frames]


def open_views(system):
    """Views with a coordinate that can move by half a point without making the optimum worse:
    the layout is not a single one there."""
    best, frames = weighted_miss(system)
    found = []
    for i, frame in enumerate(frames):
        for k, value in enumerate(frame):
            moved = [weighted_miss(system, (i, k, value + d)) for d in (0.5, -0.5)]
            if any(m is not None and abs(m[0] - best) <= 1e-9 * max(1.0, best) for m in moved):
                found.append(i)
                break
    return found


def read_frames(solver, frames):
    solver.updateVariables()
    # A negative size is shown as zero, where it starts.
    return [(x.value(), y.value(), max(0.0, w.value()), max(0.0, h.value()))
            for x, y, w, h in frames]


def read_systems(lines):
    system = None
    for line in lines:
        fields = line.split()
        if not fields:
            continue
        kind = fields[0]
        if kind == "system":
            system = {"id": fields[1], "root": [float(f) for f in fields[2:8]], "views": [],
                      "constraints": []}
        elif kind == "view":
            iw, ih, hug_h, hug_v, resist_h, resist_v = (float(f) for f in fields[2:8])
            system["views"].append({"iw": iw, "ih": ih, "hug_h": hug_h, "hug_v": hug_v,
                                    "resist_h": resist_h, "resist_v": resist_v})
        elif kind == "constraint":
            system["constraints"].append({
                "index": int(fields[1]), "view": int(fields[2]), "attr": int(fields[3]),
                "relation": int(fields[4]), "other": int(fields[5]), "other_attr": int(fields[6]),
                "multiplier": float(fields[7]), "constant": float(fields[8]),
                "priority": float(fields[9])})
        elif kind == "end":
            yield system
            system = None


def main():
    out = []
    if sys.argv[1:] == ["--open"]:
        for system in read_systems(sys.stdin):
            out.append("system %s" % system["id"])
            out.append("open" + "".join(" %d" % i for i in open_views(system)))
            out.append("end")
        sys.stdout.write("\n".join(out) + "\n")
        return
    for system in read_systems(sys.stdin):
        refused, forward, backward = solve(system)
        out.append("system %s" % system["id"])
        out.append("refused" + "".join(" %d" % i for i in refused if i is not None))
        for kind, frames in (("frame", forward), ("reversed", backward)):
            for i, (x, y, w, h) in enumerate(frames):
                out.append("%s %d %.17g %.17g %.17g %.17g" % (kind, i, x, y, w, h))
        out.append("end")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
