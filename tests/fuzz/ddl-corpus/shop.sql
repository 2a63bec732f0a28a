CREATE TABLE customer (id integer PRIMARY KEY, name text NOT NULL, email text UNIQUE);
CREATE TABLE orders (id integer PRIMARY KEY, customer_id integer NOT NULL REFERENCES customer (id), note varchar(20));
CREATE TABLE order_line (order_id integer REFERENCES orders, n integer, PRIMARY KEY (order_id, n));
CREATE TABLE invoice (order_id integer PRIMARY KEY CONSTRAINT invoice_order REFERENCES orders (id), total numeric(10,2));
ALTER TABLE orders ADD CONSTRAINT orders_second FOREIGN KEY (customer_id) REFERENCES customer (id);
CREATE UNIQUE INDEX orders_note ON orders (note);
