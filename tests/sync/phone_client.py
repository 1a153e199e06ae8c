#!/usr/bin/python3
"""A phone's calendar on one CalDAV collection, for the sync scenarios: python3-caldav doing what
a phone does to the items it shares with the planner.

  phone_client.py COLLECTION-URL USER PASSWORD COMMAND ARGS...

  put NAME FILE
      stores the calendar object in FILE under NAME in the collection (a new item, or a whole new
      version of one), as the phone's calendar writes what it made
  set NAME PROPERTY VALUE [--last-modified STAMP|now|keep]
      reads the item, changes that one property of its event or task and stores it again with
      the library's save(), which raises
      SEQUENCE when the item has one, as the library's users leave it to do. LAST-MODIFIED and
      DTSTAMP become the phone's clock ("now", the default), a given UTC stamp
      (20200101T000000Z), or stay as they were ("keep")
  delete NAME
      deletes the item (one already gone is no failure, as the library has it)
  get NAME
      prints the item as the server gives it
  list
      prints each item of the collection: its name, UID and SUMMARY, tab-separated

A failure (no such item, the server refusing) is said on standard error with status 1; a command
that cannot be read gives status 2.
"""
import datetime
import sys
import urllib.parse

import caldav
import caldav.lib.error
import icalendar

USAGE = "usage: phone_client.py COLLECTION-URL USER PASSWORD put|set|delete|get|list ARGS..."


def fail(message, status=1):
    print("phone: %s" % message, file=sys.stderr)
    sys.exit(status)


def item_at(calendar, name):
    return caldav.Event(client=calendar.client, parent=calendar,
                        url=calendar.url.join(urllib.parse.quote(name)))


def main_component(item):
    """The event or task that the item is about: the series, not one of its changed days."""
    components = [c for c in item.icalendar_instance.subcomponents
                  if c.name in ("VEVENT", "VTODO", "VJOURNAL")]
    if not components:
        fail("%s holds no event or task" % item.url)
    for component in components:
        if "RECURRENCE-ID" not in component:
            return component
    return components[0]


def stamp(value):
    if value == "now":
        return datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    try:
        return datetime.datetime.strptime(value, "%Y%m%dT%H%M%SZ").replace(
            tzinfo=datetime.timezone.utc)
    except ValueError:
        fail("not a UTC stamp like 20200101T000000Z: %s" % value, 2)


def put(calendar, name, path):
    with open(path, encoding="utf-8") as text:
        data = text.read()
    item = item_at(calendar, name)
    item.data = data
    # Stored as it is: a new item has not been edited, so its SEQUENCE stays.
    item.save(increase_seqno=False)


def set_property(calendar, name, prop, value, last_modified):
    item = item_at(calendar, name).load()
    component = main_component(item)
    component.pop(prop, None)
    component.add(prop, value)
    if last_modified != "keep":
        when = stamp(last_modified)
        for key in ("LAST-MODIFIED", "DTSTAMP"):
            component.pop(key, None)
            component.add(key, when)
    item.save()


def main(argv):
    if len(argv) < 5:
        fail(USAGE, 2)
    url, user, password, command, args = argv[1], argv[2], argv[3], argv[4], argv[5:]
    client = caldav.DAVClient(url=url, username=user, password=password)
    calendar = caldav.Calendar(client=client, url=url)
    try:
        if command == "put" and len(args) == 2:
            put(calendar, args[0], args[1])
        elif command == "set" and len(args) in (3, 5):
            last_modified = "now"
            if len(args) == 5:
                if args[3] != "--last-modified":
                    fail(USAGE, 2)
                last_modified = args[4]
            set_property(calendar, args[0], args[1].upper(), args[2], last_modified)
        elif command == "delete" and len(args) == 1:
            item_at(calendar, args[0]).delete()
        elif command == "get" and len(args) == 1:
            sys.stdout.write(item_at(calendar, args[0]).load().data)
        elif command == "list" and not args:
            for item in calendar.objects():
                item.load()
                component = main_component(item)
                print("%s\t%s\t%s" % (urllib.parse.unquote(str(item.url).rsplit("/", 1)[-1]),
                                      component.get("UID", ""), component.get("SUMMARY", "")))
        else:
            fail(USAGE, 2)
    except caldav.lib.error.DAVError as error:
        fail("%s %s: %s" % (command, " ".join(args[:1]), error))


if __name__ == "__main__":
    main(sys.argv)
